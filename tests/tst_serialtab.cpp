// The serial side through the window and a real pseudo-terminal: opening and closing the port
// on both tabs, then the assistant tab: an arrival in the receive box, what goes out on the
// line, auto-send, files and saving. The objects behind them have their own tests.
#include "tests/support/modaldriver.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTime>
#include <QtTest>

#include <memory>

namespace {
const QString sentOk = QStringLiteral("发送成功！");
} // namespace

class SerialTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { d = std::make_unique<WindowDriver>(); }
    void cleanup() { d.reset(); }
    void openAndClose_data();
    void openAndClose();
    void openRefused();

    void stampedArrival();
    void send_data();
    void send();
    void autoSend();
    void sendFile_data();
    void sendFile();
    void sendFileCancelled();
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
    QString shown() const { return d->child<QTextEdit>("textRecvOutput")->toPlainText(); }

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
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("byTab"); // closed by switching to the other tab
    QTest::newRow("entry with description") << false << " USB Serial Port" << false;
    // Typed as it is: a link to the pseudo-terminal whose name holds a space.
    QTest::newRow("PID tab, a path with a space") << true << QString() << false;
    QTest::newRow("assistant, then the PID tab shown") << false << QString() << true;
    QTest::newRow("PID, then the assistant shown") << true << QString() << true;
}

void SerialTabTest::openAndClose()
{
    QFETCH(bool, pid);
    QFETCH(QString, suffix);
    QFETCH(bool, byTab);
    QTemporaryDir dir;
    const QString device = pid ? dir.filePath(QStringLiteral("my board")) : d->peer().slavePath();
    QVERIFY(!pid || QFile::link(d->peer().slavePath(), device));
    pid ? d->openPid(device) : d->openAssistant(suffix);
    QCOMPARE(d->status(), device + QStringLiteral("打开成功！"));
    QVERIFY(d->portOpen());
    verifyTabs(!pid, pid);
    if (pid)
        d->click("buttonScanPID"); // allowed while open, and harmless
    if (byTab)
        d->showTab(pid ? "tabUSART" : "tabPID");
    else
        d->click(pid ? "buttonOpenportPID" : "buttonOpenport");
    QVERIFY(!d->portOpen());
    verifyTabs(false, false);
    if (byTab) {
        QCOMPARE(d->status(), QStringLiteral("已关闭串口（已切换标签页）"));
        // The other tab can take the port now.
        pid ? d->openAssistant() : d->openPid();
        QVERIFY(d->portOpen());
    }
}

// A typo in the editable baud box opens nothing and says why (both tabs open alike; every
// text the rate may have: tst_codecs' settings; every reason a port does not open:
// tst_openfailure; their message through the window: tst_pidtab's startWithoutClicks). A rescan
// keeps the typed device, selected, while it exists (tst_codecs' portListRefill).
void SerialTabTest::openRefused()
{
    d->showTab("tabUSART");
    d->typeInto("comboBaudrate", QStringLiteral("abc"));
    d->typeInto("comboPort", d->peer().slavePath());
    d->click("buttonOpenport");
    QCOMPARE(d->status(), QStringLiteral("打开失败！波特率必须是正整数"));
    QVERIFY(!d->portOpen());
    verifyTabs(false, false);
    d->click("buttonScan");
    auto *box = d->child<QComboBox>("comboPort");
    QVERIFY(box->currentIndex() >= 0);
    QCOMPARE(box->currentIndex(), box->findText(d->peer().slavePath()));
}

// The stamp is the local time the arrival was handled, whatever the time of day.
void SerialTabTest::stampedArrival()
{
    d->openAssistant();
    d->click("checkLogmode");
    d->click("radioRecvOptHEX");
    const QTime before = QTime::currentTime();
    QVERIFY(d->peer().write("OK"));
    QTRY_VERIFY_WITH_TIMEOUT(!shown().isEmpty(), 5000);
    const QTime after = QTime::currentTime();
    QStringList expected; // one per second from before to after, across midnight too
    const QString last = after.toString(QStringLiteral("H时m分s秒:"));
    for (QTime t = before; expected.size() < 10 && !expected.contains(last + "4f 4b");
         t = t.addSecs(1))
        expected << t.toString(QStringLiteral("H时m分s秒:")) + "4f 4b";
    QVERIFY2(expected.contains(shown()), qPrintable(shown() + " not in " + expected.join(", ")));
    // Closing keeps what the box shows (that the receive connection goes: tst_portcontroller).
    d->click("buttonOpenport");
    QVERIFY(expected.contains(shown()));
    d->click("pushRecvclear");
    QCOMPARE(shown(), QString());
}

void SerialTabTest::send_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("newLine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("text with line end") << false << true << "AT" << QByteArray("AT\r\n") << sentOk;
    QTest::newRow("hex over lines")
        << true << false << "0x41 0x42\n0x0D" << QByteArray("AB\r") << sentOk;
    // Every way hex text is misread: tst_codecs' sendInput.
    QTest::newRow("hex refused") << true << false << "0x41  0x42" << QByteArray()
                                 << QStringLiteral("发送失败，请检查输入是否为0xXX的形式！");
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
    QCOMPARE(received(bytes.size()), bytes);
    QFETCH(QString, message);
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), message, 5000);
}

void SerialTabTest::autoSend()
{
    d->openAssistant();
    d->typeInto("textSendInput", QStringLiteral("a"));
    // A period that is no whole number of milliseconds is refused.
    d->typeInto("textTime", QStringLiteral("0"));
    d->click("checkAutoSend");
    QCOMPARE(d->status(), QStringLiteral("发送周期无效"));
    QVERIFY(!d->child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d->child("textTime")->isEnabled());

    d->typeInto("textTime", QStringLiteral("100"));
    QElapsedTimer clock;
    clock.start();
    d->click("checkAutoSend");
    QVERIFY(!d->child("textTime")->isEnabled());
    // The terminal hands a write on a little later: on a busy machine two ticks may come in
    // one read. A coarse timer may align its ticks and fire a little early, so two periods
    // are the floor: a flood brings three bytes within milliseconds.
    const QByteArray first = d->peer().read(3, 10000);
    QVERIFY2(first.size() >= 3 && first.count('a') == first.size(), first.constData());
    QVERIFY2(clock.elapsed() >= 2 * 100, QByteArray::number(clock.elapsed()).constData());
    // Each tick sends the box as it is then.
    d->typeInto("textSendInput", QStringLiteral("b"));
    QByteArray later;
    QTRY_VERIFY_WITH_TIMEOUT((later += d->peer().readFor(20)).contains('b'), 10000);

    // Closing the port ends it, and reopening does not restart it. The terminal hands on a
    // write some time after it was made: the last tick's byte may still arrive after the close.
    d->click("buttonOpenport");
    QVERIFY(!d->child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d->child("textTime")->isEnabled());
    QVERIFY(d->peer().readFor(300).size() <= 1);
    d->click("buttonOpenport");
    QVERIFY(d->portOpen());
    QCOMPARE(d->peer().readFor(300), QByteArray());
    // Every millisecond 20,000 characters into a line nobody reads: refused once a second
    // of line time waits, and "发送成功！" only once the board has read them.
    d->child<QTextEdit>("textSendInput")->setPlainText(QString(20000, QLatin1Char('x')));
    d->typeInto("textTime", QStringLiteral("1"));
    d->click("checkAutoSend");
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("发送失败：发送缓冲区已满"), 5000);
    QTest::qWait(200);
    QVERIFY(d->window().serialPort()->bytesToWrite() <= 11520 + 20000);
    d->click("checkAutoSend");
    QVERIFY(d->status() != sentOk);
    const auto readAll = [this] { return d->peer().readFor(20).size() >= 0; };
    QTRY_VERIFY_WITH_TIMEOUT(readAll() && d->status() == sentOk, 10000);

    // A port gone behind the window's back, before any error could be reported.
    d->window().serialPort()->close();
    d->click("buttonSendData");
    QCOMPARE(d->status(), QStringLiteral("发送失败！"));
}

void SerialTabTest::sendFile_data()
{
    QTest::addColumn<QString>("file"); // a name in a fresh folder
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // how the status starts; empty: left as it was
    QTest::newRow("binary") << "data.bin" << QByteArray("\x00\xff\x41", 3) << sentOk;
    // Empty files, FIFOs and endless devices: tst_linewriter's fileEnds and refusedFiles.
    QTest::newRow("gone after choosing") << "gone" << QByteArray() << "文件打开失败！";
    QTest::newRow("cancelled") << "" << QByteArray() << QString();
}

void SerialTabTest::sendFile()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = file.isEmpty() ? QString() : QDir(dir.path()).absoluteFilePath(file);
    if (!file.isEmpty())
        QVERIFY(writeFile(path, file == QLatin1String("gone") ? "x" : content));
    d->openAssistant();
    const QString before = d->status();
    ModalDriver modal;
    modal.answerFileDialog(path, [&] {
        if (file == QLatin1String("gone"))
            QFile::remove(path);
    });
    d->click("buttonSelectfile");
    QCOMPARE(modal.fileDialogs, 1);
    QCOMPARE(d->child<QLabel>("labelPath")->text(), path);
    QCOMPARE(received(content.size()), content);
    QTRY_VERIFY2_WITH_TIMEOUT(d->status().startsWith(message.isEmpty() ? before : message),
                              qPrintable(d->status()), 5000);
}

// A file larger than the line takes in a second goes out in chunks while the window stays
// usable; the progress shows, and cancelling ends it with what was sent.
void SerialTabTest::sendFileCancelled()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    QVERIFY(writeFile(path, QByteArray(2 * 1024 * 1024, 'f')));
    d->openAssistant();
    ModalDriver modal;
    modal.answerFileDialog(path);
    d->click("buttonSelectfile");
    // Nobody reads: the queue stays at a second of line time.
    QTRY_VERIFY_WITH_TIMEOUT(d->window().findChild<QProgressDialog *>(), 5000);
    auto *progress = d->window().findChild<QProgressDialog *>();
    QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible(), 5000);
    QVERIFY(d->status().startsWith(QStringLiteral("正在发送文件 ")));
    QVERIFY(d->window().serialPort()->bytesToWrite() <= 11520);
    d->click("buttonSendData");
    QCOMPARE(d->status(), QStringLiteral("发送失败：正在发送文件"));
    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    QVERIFY(d->status().startsWith(QStringLiteral("发送已取消（已发送")));
    QTRY_VERIFY(!d->window().findChild<QProgressDialog *>());
}

void SerialTabTest::save_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("saved") << "";
    QTest::newRow("name taken by a folder") << "folder";
    // Full disks and the rest: tst_files' saving.
    QTest::newRow("cancelled") << "cancel";
}

void SerialTabTest::save()
{
    QFETCH(QString, obstacle);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("datas.txt"));
    const QByteArray stale(13893, 's');
    QVERIFY(obstacle == QLatin1String("folder")
                ? QDir(dir.path()).mkdir(QStringLiteral("datas.txt"))
                : writeFile(target, stale));
    d->openAssistant();
    const QByteArray arrivals("\xe4\xbd\xa0\xe5\xa5\xbd");
    QVERIFY(d->peer().write(arrivals));
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QString::fromUtf8(arrivals), 5000);
    const QString statusBefore = d->status();
    ModalDriver modal;
    modal.answerFileDialog(obstacle == QLatin1String("cancel") ? QString() : dir.path());
    d->click("pushSaveAs");
    QCOMPARE(modal.fileDialogs, 1);
    const QString label = d->child<QLabel>("labelPath")->text();
    const bool cancelled = obstacle == QLatin1String("cancel"), saved = obstacle.isEmpty();
    QVERIFY(cancelled ? label.isEmpty() : QDir(label) == QDir(dir.path()));
    QCOMPARE(d->status(), saved || cancelled ? statusBefore : QStringLiteral("保存失败！"));
    if (obstacle != QLatin1String("folder"))
        QCOMPARE(readFile(target), saved ? arrivals : stale);
}

QTEST_MAIN(SerialTabTest)
#include "tst_serialtab.moc"
