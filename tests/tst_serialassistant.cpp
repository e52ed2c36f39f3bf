// The serial assistant tab through the window and a real pseudo-terminal: what the receive
// box shows, what goes out on the line, auto-send, files and saving.
#include "tests/serialwindowdriver.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

namespace {
const QString sentOk = QStringLiteral("发送成功！");
const QString hexFailure = QStringLiteral("发送失败，请检查输入是否为0xXX的形式！");

// "<T>" in an expected text stands for an arrival's time stamp.
QRegularExpression shownPattern(const QString &expected)
{
    const QString stamp = QStringLiteral("([01]?[0-9]|2[0-3])时[1-5]?[0-9]分[1-5]?[0-9]秒:");
    QString pattern = QRegularExpression::escape(expected);
    pattern.replace(QRegularExpression::escape(QStringLiteral("<T>")), stamp);
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

// Answers the next modal file dialog by typing `path` into its name field and accepting it,
// or cancels it when `path` is empty.
class FileDialogAnswer : public QObject
{
public:
    explicit FileDialogAnswer(const QString &path) : answer(path)
    {
        connect(&poll, &QTimer::timeout, this, &FileDialogAnswer::tryAnswer);
        poll.start(20);
    }
    bool answered() const { return done; }

private:
    void tryAnswer()
    {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++attempts > 1000) // 20 s: the dialog never came
                poll.stop();
            return;
        }
        poll.stop();
        done = true;
        if (answer.isEmpty()) {
            dialog->reject();
            return;
        }
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, answer);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        if (dialog->isVisible()) // refused the name: do not leave the test blocked
            dialog->reject();
    }

    QString answer;
    QTimer poll;
    int attempts = 0;
    bool done = false;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class SerialAssistantTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void receive_data();
    void receive();
    void scrollbackIsBounded();
    void send_data();
    void send();
    void sendToVanishedPort();
    void autoSend();
    void badPeriod_data();
    void badPeriod();
    void sendFile_data();
    void sendFile();
    void save_data();
    void save();
};

void SerialAssistantTest::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void SerialAssistantTest::receive_data()
{
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QList<bool>>("hex");            // display mode per arrival
    QTest::addColumn<QList<QByteArray>>("arrivals"); // each one waited for before the next
    QTest::addColumn<QStringList>("shown");          // the whole box after each arrival
    QTest::newRow("text") << false << QList<bool>{false} << QList<QByteArray>{"hello"}
                          << QStringList{"hello"};
    QTest::newRow("hex") << false << QList<bool>{true} << QList<QByteArray>{"hello"}
                         << QStringList{"68 65 6c 6c 6f"};
    QTest::newRow("stamped text") << true << QList<bool>{false} << QList<QByteArray>{"OK"}
                                  << QStringList{"<T>OK"};
    QTest::newRow("stamped hex") << true << QList<bool>{true} << QList<QByteArray>{"OK"}
                                 << QStringList{"<T>4f 4b"};
    QTest::newRow("zero byte text")
        << false << QList<bool>{false} << QList<QByteArray>{QByteArray("A\0B", 3)}
        << QStringList{QString::fromUtf8("A\0B", 3)};
    QTest::newRow("zero byte hex")
        << false << QList<bool>{true} << QList<QByteArray>{QByteArray("A\0B", 3)}
        << QStringList{"41 00 42"};
    QTest::newRow("split character")
        << false << QList<bool>{false, false} << QList<QByteArray>{"A\xe4\xbd", "\xa0!"}
        << QStringList{"A", QStringLiteral("A\n你!")};
    QTest::newRow("html-looking text")
        << false << QList<bool>{false} << QList<QByteArray>{"<b>bold</b> &amp; <br>"}
        << QStringList{"<b>bold</b> &amp; <br>"};
    QTest::newRow("chinese, stamped")
        << true << QList<bool>{false} << QList<QByteArray>{"\xe6\xb8\xa9\xe5\xba\xa6"}
        << QStringList{QStringLiteral("<T>温度")};
    QTest::newRow("mode switch keeps earlier paragraphs")
        << false << QList<bool>{false, true, true} << QList<QByteArray>{"hi", "hi", "!"}
        << QStringList{"hi", "hi\n68 69", "hi\n68 69\n21"};
}

void SerialAssistantTest::receive()
{
    QFETCH(bool, stamped);
    QFETCH(QList<bool>, hex);
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QStringList, shown);
    SerialWindowDriver d;
    d.openAssistant();
    QVERIFY(d.window().serialPort()->isOpen());
    if (stamped)
        d.click("checkLogmode");
    auto *box = d.child<QTextEdit>("textRecvOutput");
    for (int i = 0; i < arrivals.size(); ++i) {
        d.click(hex.at(i) ? "radioRecvOptHEX" : "radioRecvOptASCII");
        QVERIFY(d.peer().write(arrivals.at(i)));
        const QRegularExpression expected = shownPattern(shown.at(i));
        QTRY_VERIFY2_WITH_TIMEOUT(expected.match(box->toPlainText()).hasMatch(),
                                  qPrintable(box->toPlainText()), 5000);
    }
    QCOMPARE(box->toHtml().contains(QLatin1String("<b>bold")), false);
}

void SerialAssistantTest::scrollbackIsBounded()
{
    SerialWindowDriver d;
    d.openAssistant();
    QByteArray lines;
    for (int i = 0; i < 6000; ++i)
        lines += "L" + QByteArray::number(i) + "\n";
    lines += "#"; // one byte, so no read can split the end mark
    QVERIFY(d.peer().write(lines));
    auto *box = d.child<QTextEdit>("textRecvOutput");
    QTRY_VERIFY_WITH_TIMEOUT(box->toPlainText().endsWith(QLatin1Char('#')), 20000);
    QCOMPARE(box->document()->blockCount(), 5000);
    QVERIFY(!box->toPlainText().startsWith(QLatin1String("L0\n")));
    QVERIFY(!box->document()->isUndoRedoEnabled());
}

void SerialAssistantTest::send_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("newLine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("hex with spaces")
        << true << false << "0x41 0x42 0x0D" << QByteArray("AB\r") << sentOk;
    QTest::newRow("hex with comma") << true << false << "0x41,0x42" << QByteArray("AB") << sentOk;
    QTest::newRow("hex over lines") << true << false << "0x41\n0x42" << QByteArray("AB") << sentOk;
    QTest::newRow("hex ignores line end") << true << true << "0x41" << QByteArray("A") << sentOk;
    QTest::newRow("octal and decimal")
        << true << false << "0255 1000" << QByteArray("\xad\xe8") << sentOk;
    QTest::newRow("hex empty") << true << false << "" << QByteArray() << sentOk;
    QTest::newRow("hex without separator")
        << true << false << "0x410x42" << QByteArray() << hexFailure;
    QTest::newRow("hex bad middle value")
        << true << false << "0x41 0xZZ 0x42" << QByteArray() << hexFailure;
    QTest::newRow("hex two trailing spaces")
        << true << false << "0x41  " << QByteArray() << hexFailure;
    QTest::newRow("text with line end") << false << true << "AT" << QByteArray("AT\r\n") << sentOk;
    QTest::newRow("text") << false << false << "hi 0x41" << QByteArray("hi 0x41") << sentOk;
    QTest::newRow("chinese text as utf-8") << false << false << QStringLiteral("你好")
                                           << QByteArray("\xe4\xbd\xa0\xe5\xa5\xbd") << sentOk;
}

void SerialAssistantTest::send()
{
    QFETCH(bool, hex);
    QFETCH(bool, newLine);
    QFETCH(QString, input);
    QFETCH(QByteArray, bytes);
    SerialWindowDriver d;
    d.openAssistant();
    QVERIFY(d.window().serialPort()->isOpen());
    if (hex)
        d.click("radioSendOptHEX");
    if (newLine)
        d.click("checkNewline");
    d.typeText("textSendInput", input);
    d.click("buttonSendData");
    QTEST(d.status(), "message");
    QByteArray received = d.peer().read(bytes.size(), 5000);
    received += d.peer().readFor(200); // nothing more follows
    QCOMPARE(received, bytes);
}

void SerialAssistantTest::sendToVanishedPort()
{
    SerialWindowDriver d;
    d.openAssistant();
    d.typeText("textSendInput", QStringLiteral("x"));
    // Gone behind the window's back, before any error could be reported.
    d.window().serialPort()->close();
    d.click("buttonSendData");
    QCOMPARE(d.status(), QStringLiteral("发送失败！"));
}

void SerialAssistantTest::autoSend()
{
    SerialWindowDriver d;
    d.openAssistant();
    d.typeText("textSendInput", QStringLiteral("a"));
    d.typeText("textTime", QStringLiteral("200"));
    QElapsedTimer clock;
    clock.start();
    d.click("checkAutoSend");
    QVERIFY(!d.child<QWidget>("textTime")->isEnabled());

    const QByteArray first = d.peer().read(3, 10000);
    QCOMPARE(first, QByteArray("aaa"));
    // Three periods at least, less the 5 % a coarse timer may fire early: no flood.
    QVERIFY(clock.elapsed() >= 3 * 200 * 95 / 100);

    // Each tick sends the box as it is then.
    d.typeText("textSendInput", QStringLiteral("b"));
    QByteArray later;
    QTRY_VERIFY_WITH_TIMEOUT((later += d.peer().readFor(20)).contains('b'), 10000);

    d.click("buttonOpenport");
    QVERIFY(!d.child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(!d.child<QWidget>("checkAutoSend")->isEnabled());
    QVERIFY(d.child<QWidget>("textTime")->isEnabled());
    QCOMPARE(d.peer().readFor(600), QByteArray());

    // Reopening does not restart it.
    d.click("buttonOpenport");
    QVERIFY(d.window().serialPort()->isOpen());
    QCOMPARE(d.peer().readFor(600), QByteArray());
}

void SerialAssistantTest::badPeriod_data()
{
    QTest::addColumn<QString>("period");
    QTest::newRow("zero") << "0";
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-5";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("too long for a timer") << "99999999999";
}

void SerialAssistantTest::badPeriod()
{
    QFETCH(QString, period);
    SerialWindowDriver d;
    d.openAssistant();
    d.typeText("textSendInput", QStringLiteral("x"));
    d.typeText("textTime", period);
    d.click("checkAutoSend");
    QCOMPARE(d.status(), QStringLiteral("发送周期无效"));
    QVERIFY(!d.child<QAbstractButton>("checkAutoSend")->isChecked());
    QVERIFY(d.child<QWidget>("textTime")->isEnabled());
    QCOMPARE(d.peer().readFor(300), QByteArray());

    // A good period afterwards still works.
    d.typeText("textTime", QStringLiteral("100"));
    d.click("checkAutoSend");
    QCOMPARE(d.peer().read(1, 10000), QByteArray("x"));
}

void SerialAssistantTest::sendFile_data()
{
    QTest::addColumn<QString>("fileName"); // empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("binary") << "data.bin" << QByteArray("\x00\xff\x41", 3);
    QTest::newRow("hex file goes out as stored") << "image.hex" << QByteArray(":00000001FF\r\n");
    QTest::newRow("cancelled") << "" << QByteArray();
}

void SerialAssistantTest::sendFile()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = fileName.isEmpty() ? QString() : dir.filePath(fileName);
    if (!path.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    SerialWindowDriver d;
    d.openAssistant();
    auto *label = d.child<QLabel>("labelPath");
    const QString labelBefore = label->text();

    FileDialogAnswer answer(path);
    d.click("buttonSelectfile");
    QVERIFY(answer.answered());
    if (path.isEmpty()) {
        QCOMPARE(label->text(), labelBefore);
        QCOMPARE(d.peer().readFor(300), QByteArray());
        return;
    }
    QCOMPARE(label->text(), path);
    QCOMPARE(d.status(), sentOk);
    QByteArray received = d.peer().read(content.size(), 5000);
    received += d.peer().readFor(200);
    QCOMPARE(received, content);
}

void SerialAssistantTest::save_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<bool>("folderTaken"); // "datas.txt" is a folder there
    QTest::addColumn<bool>("cancel");
    QTest::newRow("stamped text with chinese")
        << QList<QByteArray>{"hello", "\xe4\xbd\xa0\xe5\xa5\xbd"} << false << false;
    QTest::newRow("empty box") << QList<QByteArray>{} << false << false;
    QTest::newRow("name taken by a folder") << QList<QByteArray>{"x"} << true << false;
    QTest::newRow("cancelled") << QList<QByteArray>{"x"} << false << true;
}

void SerialAssistantTest::save()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(bool, folderTaken);
    QFETCH(bool, cancel);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("datas.txt"));
    if (folderTaken)
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("datas.txt")));
    else
        QFile(target).open(QIODevice::WriteOnly); // an older, longer file to be replaced

    SerialWindowDriver d;
    d.openAssistant();
    d.click("checkLogmode");
    auto *box = d.child<QTextEdit>("textRecvOutput");
    for (int i = 0; i < arrivals.size(); ++i) {
        QVERIFY(d.peer().write(arrivals.at(i)));
        QTRY_COMPARE_WITH_TIMEOUT(box->toPlainText().count(QStringLiteral("秒:")), i + 1, 5000);
    }
    if (!folderTaken) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("stale content that is longer than what is saved");
    }
    const QString statusBefore = d.status();

    FileDialogAnswer answer(cancel ? QString() : dir.path());
    d.click("pushSaveAs");
    QVERIFY(answer.answered());

    auto *label = d.child<QLabel>("labelPath");
    if (cancel) {
        QCOMPARE(label->text(), QString());
        QCOMPARE(readFile(target), QByteArray("stale content that is longer than what is saved"));
        return;
    }
    QCOMPARE(QDir(label->text()), QDir(dir.path()));
    if (folderTaken) {
        QCOMPARE(d.status(), QStringLiteral("保存失败！"));
        return;
    }
    QCOMPARE(d.status(), statusBefore);
    const QByteArray saved = readFile(target);
    QCOMPARE(saved, box->toPlainText().toUtf8());
    if (!arrivals.isEmpty())
        QVERIFY(shownPattern(QStringLiteral("<T>hello\n<T>你好"))
                    .match(QString::fromUtf8(saved))
                    .hasMatch());
}

QTEST_MAIN(SerialAssistantTest)
#include "tst_serialassistant.moc"
