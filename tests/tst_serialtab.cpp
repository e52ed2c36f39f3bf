// The serial side through the window and a real pseudo-terminal: opening, closing and losing
// the port on both tabs, then the assistant tab: what the receive box shows, what goes out on
// the line, auto-send, files and saving.
#include "app/serialhelper.h"
#include "tests/support/modaldriver.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {
const QString sentOk = QStringLiteral("发送成功！");

// "<T>" in an expected text stands for an arrival's time stamp.
bool shows(const QString &text, const QString &expected)
{
    const QString stamp = QStringLiteral("(1?[0-9]|2[0-3])时[1-5]?[0-9]分[1-5]?[0-9]秒:");
    QString pattern = QRegularExpression::escape(expected);
    pattern.replace(QRegularExpression::escape(QStringLiteral("<T>")), stamp);
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(text).hasMatch();
}

} // namespace

class SerialTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { d = std::make_unique<WindowDriver>(); }
    void cleanup() { d.reset(); }
    void openAndClose_data();
    void openAndClose();
    void settingsApplied_data();
    void settingsApplied();
    void tabSwitchReleasesPort_data();
    void tabSwitchReleasesPort();
    void unpluggedAdapter_data();
    void unpluggedAdapter();
    void rescan();

    void receive_data();
    void receive();
    void scrollbackIsBounded();
    void send_data();
    void send();
    void autoSend();
    void badPeriod_data();
    void badPeriod();
    void sendFile_data();
    void sendFile();
    void save_data();
    void save();

private:
    // Both tabs' widgets for the tab that holds the port, if any.
    void verifyTabs(bool assistantOpen, bool pidOpen);
    QByteArray received(int count)
    {
        QByteArray bytes = d->peer().read(count, 5000);
        return bytes + d->peer().readFor(200); // and nothing more follows
    }

    std::unique_ptr<WindowDriver> d;
};

void SerialTabTest::verifyTabs(bool assistantOpen, bool pidOpen)
{
    const QString openText = QStringLiteral("关闭串口"), closedText = QStringLiteral("打开串口");
    QCOMPARE(d->child<QAbstractButton>("buttonOpenport")->text(),
             assistantOpen ? openText : closedText);
    QCOMPARE(d->child<QAbstractButton>("buttonOpenportPID")->text(),
             pidOpen ? openText : closedText);
    for (const char *name : {"buttonScan", "comboPort", "comboBaudrate", "comboDatabit",
                             "comboStopbit", "comboCheckbit"})
        QVERIFY2(d->child(name)->isEnabled() == !assistantOpen, name);
    for (const char *name : {"buttonSelectfile", "buttonSendData", "checkAutoSend"})
        QVERIFY2(d->child(name)->isEnabled() == assistantOpen, name);
    for (const char *name : {"comboPortPID", "comboBaudratePID", "comboDatabitPID",
                             "comboStopbitPID", "comboCheckbitPID"})
        QVERIFY2(d->child(name)->isEnabled() == !pidOpen, name);
    QVERIFY(d->child("buttonScanPID")->isEnabled());
    QCOMPARE(d->child("buttonStart")->isEnabled(), pidOpen);
}

void SerialTabTest::openAndClose_data()
{
    QTest::addColumn<bool>("pid");
    QTest::addColumn<QString>("portText"); // empty: the pseudo-terminal
    QTest::addColumn<QString>("suffix");
    QTest::newRow("entry with description") << false << QString() << " USB Serial Port";
    QTest::newRow("PID tab") << true << QString() << QString();
    QTest::newRow("missing device") << false << "/dev/tavrino-no-such-tty" << QString();
    QTest::newRow("leading space") << false << " ttyUSB0" << QString();
}

void SerialTabTest::openAndClose()
{
    QFETCH(bool, pid);
    QFETCH(QString, portText);
    QFETCH(QString, suffix);
    if (!portText.isEmpty()) {
        d->showTab("tabUSART");
        d->typeInto("comboPort", portText);
        d->click("buttonOpenport");
        QCOMPARE(d->status(), QStringLiteral("打开失败！"));
        QVERIFY(!d->portOpen());
        verifyTabs(false, false);
        return;
    }
    pid ? d->openPid() : d->openAssistant(suffix);
    QCOMPARE(d->status(), d->peer().slavePath() + QStringLiteral("打开成功！"));
    QVERIFY(d->portOpen());
    verifyTabs(!pid, pid);
    if (pid)
        d->click("buttonScanPID"); // allowed while open, and harmless
    d->click(pid ? "buttonOpenportPID" : "buttonOpenport");
    QVERIFY(!d->portOpen());
    verifyTabs(false, false);
    // The receive connection went with the close.
    QVERIFY(d->peer().write("late"));
    d->peer().readFor(300);
    QCOMPARE(d->child<QTextEdit>("textRecvOutput")->toPlainText(), QString());
}

void SerialTabTest::settingsApplied_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<bool>("twoStop");
    QTest::newRow("start values") << "115200" << QStringLiteral("1") << uint(B115200) << false;
    QTest::newRow("typed 300, two stop bits") << "300" << QStringLiteral("2") << uint(B300) << true;
}

void SerialTabTest::settingsApplied()
{
    QFETCH(QString, baud);
    QFETCH(QString, stopBits);
    d->showTab("tabUSART");
    d->typeInto("comboBaudrate", baud);
    auto *stop = d->child<QComboBox>("comboStopbit");
    if (stop->currentText() != stopBits)
        QTest::keyClick(stop, Qt::Key_Down);
    QCOMPARE(stop->currentText(), stopBits);
    d->openAssistant();
    QVERIFY(d->portOpen());
    // Read back from the terminal driver. A pseudo-terminal forces eight bits without parity,
    // so those two are left to the settings conversion's own test.
    termios line{};
    const QByteArray path = d->peer().slavePath().toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0 && tcgetattr(fd, &line) == 0);
    ::close(fd);
    QTEST(uint(cfgetospeed(&line)), "speed");
    QTEST((line.c_cflag & CSTOPB) != 0, "twoStop");
    QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
}

void SerialTabTest::tabSwitchReleasesPort_data()
{
    QTest::addColumn<bool>("fromAssistant");
    QTest::newRow("assistant to PID") << true;
    QTest::newRow("PID to assistant") << false;
}

void SerialTabTest::tabSwitchReleasesPort()
{
    QFETCH(bool, fromAssistant);
    fromAssistant ? d->openAssistant() : d->openPid();
    QVERIFY(d->portOpen());
    d->showTab(fromAssistant ? "tabPID" : "tabUSART");
    QVERIFY(!d->portOpen());
    verifyTabs(false, false);
    // The other tab can take the port now.
    fromAssistant ? d->openPid() : d->openAssistant();
    QVERIFY(d->portOpen());
}

void SerialTabTest::unpluggedAdapter_data()
{
    QTest::addColumn<bool>("assistant");
    QTest::newRow("assistant tab, auto-send on") << true;
    QTest::newRow("PID tab") << false;
}

void SerialTabTest::unpluggedAdapter()
{
    QFETCH(bool, assistant);
    if (assistant) {
        d->openAssistant();
        d->typeInto("textTime", QStringLiteral("60000"));
        d->click("checkAutoSend");
        QVERIFY(!d->child("textTime")->isEnabled());
    } else {
        d->openPid();
    }
    QVERIFY(d->portOpen());
    qRegisterMetaType<QSerialPort::SerialPortError>();
    QSignalSpy errors(d->window().serialPort(), &QSerialPort::errorOccurred);

    d->peer().hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("串口已断开"), 10000);
    QVERIFY(!d->portOpen());
    verifyTabs(false, false);
    QVERIFY(!d->child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d->child("textTime")->isEnabled());
    // The error flood of a hung-up line ends with the close.
    const int afterClose = errors.count();
    QTest::qWait(300);
    QCOMPARE(errors.count(), afterClose);
}

// Either tab's scan refills its own box and leaves the other's text alone.
void SerialTabTest::rescan()
{
    const QStringList entries = SerialHelper().scanPorts();
    for (const bool pid : {false, true}) {
        auto *box = d->child<QComboBox>(pid ? "comboPortPID" : "comboPort");
        auto *other = d->child<QComboBox>(pid ? "comboPort" : "comboPortPID");
        d->showTab(pid ? "tabPID" : "tabUSART");
        box->setEditText(QStringLiteral("typed"));
        other->setEditText(QStringLiteral("kept"));
        d->click(pid ? "buttonScanPID" : "buttonScan");
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, entries);
        QCOMPARE(box->currentText(), entries.value(0));
        QCOMPARE(other->currentText(), QStringLiteral("kept"));
    }
}

void SerialTabTest::receive_data()
{
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QList<bool>>("hex");            // display mode per arrival
    QTest::addColumn<QList<QByteArray>>("arrivals"); // each one waited for before the next
    QTest::addColumn<QStringList>("shown");          // the whole box after each arrival
    const auto row = [](const char *name, bool stamped, const QList<bool> &hex,
                        const QList<QByteArray> &arrivals, const QStringList &shown) {
        QTest::newRow(name) << stamped << hex << arrivals << shown;
    };
    row("stamped text", true, {false}, {"OK"}, {"<T>OK"});
    row("stamped hex", true, {true}, {"OK"}, {"<T>4f 4b"});
    row("zero byte", false, {false}, {QByteArray("A\0B", 3)}, {QString::fromUtf8("A\0B", 3)});
    row("split character", false, {false, false}, {"A\xe4\xbd", "\xa0!"}, {"A", "A\n你!"});
    row("html-looking text", false, {false}, {"<b>bold</b> &amp; <br>"},
        {"<b>bold</b> &amp; <br>"});
    row("mode switch keeps earlier paragraphs", false, {false, true, true}, {"hi", "hi", "!"},
        {"hi", "hi\n68 69", "hi\n68 69\n21"});
}

void SerialTabTest::receive()
{
    QFETCH(bool, stamped);
    QFETCH(QList<bool>, hex);
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QStringList, shown);
    d->openAssistant();
    QVERIFY(d->portOpen());
    if (stamped)
        d->click("checkLogmode");
    auto *box = d->child<QTextEdit>("textRecvOutput");
    for (int i = 0; i < arrivals.size(); ++i) {
        d->click(hex.at(i) ? "radioRecvOptHEX" : "radioRecvOptASCII");
        QVERIFY(d->peer().write(arrivals.at(i)));
        QTRY_VERIFY2_WITH_TIMEOUT(shows(box->toPlainText(), shown.at(i)),
                                  qPrintable(box->toPlainText()), 5000);
    }
}

void SerialTabTest::scrollbackIsBounded()
{
    d->openAssistant();
    QByteArray lines;
    for (int i = 0; i < 6000; ++i)
        lines += "L" + QByteArray::number(i) + "\n";
    QVERIFY(d->peer().write(lines + "#")); // one byte, so no read can split the end mark
    auto *box = d->child<QTextEdit>("textRecvOutput");
    QTRY_VERIFY_WITH_TIMEOUT(box->toPlainText().endsWith(QLatin1Char('#')), 20000);
    QCOMPARE(box->document()->blockCount(), 5000);
    QVERIFY(!box->document()->isUndoRedoEnabled());
}

void SerialTabTest::send_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("newLine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, bool hex, bool newLine, const QString &input,
                        const QByteArray &bytes, const QString &message = sentOk) {
        QTest::newRow(name) << hex << newLine << input << bytes << message;
    };
    row("hex over lines", true, false, "0x41 0x42\n0x0D", "AB\r");
    row("hex ignores line end", true, true, "0x41", "A");
    row("hex empty", true, false, "", "");
    row("hex without separator", true, false, "0x410x42", "",
        QStringLiteral("发送失败，请检查输入是否为0xXX的形式！"));
    row("text with line end", false, true, "AT", "AT\r\n");
    row("chinese text as utf-8", false, false, QStringLiteral("你好"), "\xe4\xbd\xa0\xe5\xa5\xbd");
}

void SerialTabTest::send()
{
    QFETCH(bool, hex);
    QFETCH(bool, newLine);
    QFETCH(QString, input);
    QFETCH(QByteArray, bytes);
    d->openAssistant();
    QVERIFY(d->portOpen());
    if (hex)
        d->click("radioSendOptHEX");
    if (newLine)
        d->click("checkNewline");
    d->typeInto("textSendInput", input);
    d->click("buttonSendData");
    QTEST(d->status(), "message");
    QCOMPARE(received(bytes.size()), bytes);
}

void SerialTabTest::autoSend()
{
    d->openAssistant();
    d->typeInto("textSendInput", QStringLiteral("a"));
    d->typeInto("textTime", QStringLiteral("200"));
    QElapsedTimer clock;
    clock.start();
    d->click("checkAutoSend");
    QVERIFY(!d->child("textTime")->isEnabled());
    QCOMPARE(d->peer().read(3, 10000), QByteArray("aaa"));
    // Three periods at least, less the 5 % a coarse timer may fire early: no flood.
    QVERIFY(clock.elapsed() >= 3 * 200 * 95 / 100);

    // Each tick sends the box as it is then.
    d->typeInto("textSendInput", QStringLiteral("b"));
    QByteArray later;
    QTRY_VERIFY_WITH_TIMEOUT((later += d->peer().readFor(20)).contains('b'), 10000);

    d->click("buttonOpenport");
    QVERIFY(!d->child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d->child("textTime")->isEnabled());
    QCOMPARE(d->peer().readFor(600), QByteArray());
    // Reopening does not restart it.
    d->click("buttonOpenport");
    QVERIFY(d->portOpen());
    QCOMPARE(d->peer().readFor(600), QByteArray());
    // A port gone behind the window's back, before any error could be reported.
    d->window().serialPort()->close();
    d->click("buttonSendData");
    QCOMPARE(d->status(), QStringLiteral("发送失败！"));
}

void SerialTabTest::badPeriod_data()
{
    QTest::addColumn<QString>("period");
    QTest::newRow("zero") << "0";
    QTest::newRow("letters") << "abc";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("too long for a timer") << "99999999999";
}

void SerialTabTest::badPeriod()
{
    QFETCH(QString, period);
    d->openAssistant();
    d->typeInto("textSendInput", QStringLiteral("x"));
    d->typeInto("textTime", period);
    d->click("checkAutoSend");
    QCOMPARE(d->status(), QStringLiteral("发送周期无效"));
    QVERIFY(!d->child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d->child("textTime")->isEnabled());
    QCOMPARE(d->peer().readFor(300), QByteArray());
    // A good period afterwards still works.
    d->typeInto("textTime", QStringLiteral("100"));
    d->click("checkAutoSend");
    QCOMPARE(d->peer().read(1, 10000), QByteArray("x"));
}

void SerialTabTest::sendFile_data()
{
    QTest::addColumn<QString>("fileName"); // empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("binary") << "data.bin" << QByteArray("\x00\xff\x41", 3);
    QTest::newRow("cancelled") << "" << QByteArray();
}

void SerialTabTest::sendFile()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = fileName.isEmpty() ? QString() : dir.filePath(fileName);
    QVERIFY(path.isEmpty() || writeFile(path, content));
    d->openAssistant();
    ModalDriver modal;
    modal.answerFileDialog(path);
    d->click("buttonSelectfile");
    QCOMPARE(modal.fileDialogs, 1);
    QCOMPARE(d->child<QLabel>("labelPath")->text(), path);
    if (!path.isEmpty())
        QCOMPARE(d->status(), sentOk);
    QCOMPARE(received(content.size()), content);
}

void SerialTabTest::save_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<bool>("folderTaken"); // "datas.txt" is a folder there
    QTest::addColumn<bool>("cancel");
    QTest::newRow("stamped text with chinese")
        << QList<QByteArray>{"hello", "\xe4\xbd\xa0\xe5\xa5\xbd"} << false << false;
    QTest::newRow("name taken by a folder") << QList<QByteArray>{"x"} << true << false;
    QTest::newRow("cancelled") << QList<QByteArray>{"x"} << false << true;
}

void SerialTabTest::save()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(bool, folderTaken);
    QFETCH(bool, cancel);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("datas.txt"));
    const QByteArray stale("stale content that is longer than what is saved");
    QVERIFY(folderTaken ? QDir(dir.path()).mkdir(QStringLiteral("datas.txt"))
                        : writeFile(target, stale));
    d->openAssistant();
    d->click("checkLogmode");
    auto *box = d->child<QTextEdit>("textRecvOutput");
    for (int i = 0; i < arrivals.size(); ++i) {
        QVERIFY(d->peer().write(arrivals.at(i)));
        QTRY_COMPARE_WITH_TIMEOUT(box->toPlainText().count(QStringLiteral("秒:")), i + 1, 5000);
    }
    const QString statusBefore = d->status();
    ModalDriver modal;
    modal.answerFileDialog(cancel ? QString() : dir.path());
    d->click("pushSaveAs");
    QCOMPARE(modal.fileDialogs, 1);
    const QString label = d->child<QLabel>("labelPath")->text();
    if (cancel) {
        QCOMPARE(label, QString());
        QCOMPARE(readFile(target), stale);
        return;
    }
    QCOMPARE(QDir(label), QDir(dir.path()));
    QCOMPARE(d->status(), folderTaken ? QStringLiteral("保存失败！") : statusBefore);
    if (folderTaken)
        return;
    const QByteArray saved = readFile(target);
    QCOMPARE(saved, box->toPlainText().toUtf8());
    if (!arrivals.isEmpty())
        QVERIFY(shows(QString::fromUtf8(saved), QStringLiteral("<T>hello\n<T>你好")));
}

QTEST_MAIN(SerialTabTest)
#include "tst_serialtab.moc"
