// The PID tab through the real window and a real pseudo-terminal playing the board.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "pidlink/pidframe.h"
#include "tests/support/pseudoterminal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QtTest>

#include <memory>

namespace {
constexpr int Patience = 5000; // ms; generous for a loaded machine

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray sample(int channel, float actual, float target)
{
    char frame[FrameSize];
    frame[0] = char('0' + channel);
    putFloatLE(frame + 1, actual);
    putFloatLE(frame + 5, target);
    frame[9] = '\n';
    return QByteArray(frame, FrameSize);
}

const char *const parameterButtons[] = {"buttonPRead",  "buttonIRead",  "buttonDRead",
                                        "buttonARead",  "buttonTRead",  "buttonPWrite",
                                        "buttonIWrite", "buttonDWrite", "buttonTWrite"};
} // namespace

class TestPidLinkWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void commandBytes_data();
    void commandBytes();
    void commandsWithPortClosed_data();
    void commandsWithPortClosed();
    void startAndStop();
    void boardCommands_data();
    void boardCommands();
    void boardStartAndStop();
    void samplesThroughNoise();
    void stringMode();

private:
    template <typename T> T *child(const char *name)
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    QString message() const { return window->statusBar()->currentMessage(); }
    bool openPidPort();
    // Sends the board's bytes followed by a channel 4 sample and waits until that is plotted,
    // so everything before it has been handled.
    void sendAndSettle(const QByteArray &bytes);

    std::unique_ptr<PseudoTerminal> board;
    std::unique_ptr<MainWindow> window;
    quint32 sentinels = 0;
};

void TestPidLinkWindow::init()
{
    board = std::make_unique<PseudoTerminal>();
    QVERIFY(board->isOpen());
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    sentinels = 0;
}

void TestPidLinkWindow::cleanup()
{
    window.reset();
    board.reset();
}

bool TestPidLinkWindow::openPidPort()
{
    QLineEdit *edit = child<QComboBox>("comboPortPID")->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, board->slavePath());
    click("buttonOpenportPID");
    return window->serialPort()->isOpen();
}

void TestPidLinkWindow::sendAndSettle(const QByteArray &bytes)
{
    QVERIFY(board->write(bytes + sample(3, 0.0f, 0.0f)));
    ++sentinels;
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->sampleCounts().at(3), sentinels, Patience);
}

// One row: channel radio, field and its text, button, frame expected, message (empty: the
// status bar keeps the channel message).
static void commandRow(const char *name, const char *radio, const char *field, const char *text,
                       const char *button, const char *bytes, const char *shown)
{
    QTest::newRow(name) << QString::fromLatin1(radio) << QString::fromLatin1(field)
                        << QString::fromUtf8(text) << QString::fromLatin1(button) << hex(bytes)
                        << QString::fromUtf8(shown);
}

void TestPidLinkWindow::commandBytes_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    commandRow("P write on CH3", "radioCH3", "editP", "1.5", "buttonPWrite",
               "43 01 01 02 00 00 00 c0 3f 0a", "已发送P");
    commandRow("actual read on CH1", "radioCH1", "", "", "buttonARead",
               "43 06 00 00 00 00 00 00 00 0a", "");
    commandRow("I write of no number", "radioCH1", "editI", "abc", "buttonIWrite",
               "43 02 01 00 00 00 00 00 00 0a", "已发送I");
    commandRow("D write on CH4", "radioCH4", "editD", "-0.25", "buttonDWrite",
               "43 03 01 03 00 00 00 80 be 0a", "已发送D");
    commandRow("target write on CH2", "radioCH2", "editTarget", "100", "buttonTWrite",
               "43 04 01 01 00 00 00 c8 42 0a", "已发送目标值");
    commandRow("P read on CH2", "radioCH2", "", "", "buttonPRead", "43 01 00 01 00 00 00 00 00 0a",
               "");
    commandRow("I read on CH4", "radioCH4", "", "", "buttonIRead", "43 02 00 03 00 00 00 00 00 0a",
               "");
    commandRow("D read on CH3", "radioCH3", "", "", "buttonDRead", "43 03 00 02 00 00 00 00 00 0a",
               "");
    commandRow("target read on CH1", "radioCH1", "", "", "buttonTRead",
               "43 04 00 00 00 00 00 00 00 0a", "");
}

void TestPidLinkWindow::commandBytes()
{
    QFETCH(QString, radio);
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    click(radio.toLatin1().constData());
    QCOMPARE(message(), QStringLiteral("选择%1通道").arg(radio.right(1)));
    if (!edit.isEmpty()) {
        QLineEdit *field = child<QLineEdit>(edit.toLatin1().constData());
        field->clear();
        QTest::keyClicks(field, text);
    }
    const QString before = message();
    click(button.toLatin1().constData());
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '), bytes.toHex(' '));
    QCOMPARE(message(), shown.isEmpty() ? before : shown);
}

void TestPidLinkWindow::commandsWithPortClosed_data()
{
    QTest::addColumn<QString>("button");
    for (const char *name : parameterButtons)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestPidLinkWindow::commandsWithPortClosed()
{
    QFETCH(QString, button);
    click(button.toLatin1().constData());
    QCOMPARE(message(), QStringLiteral("串口未打开，发送失败"));
    QVERIFY(!window->serialPort()->isOpen());
}

void TestPidLinkWindow::startAndStop()
{
    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    click("radioCH3"); // start and stop carry channel 0 whatever is selected
    click("buttonStart");
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '),
             hex("43 07 00 00 00 00 00 00 00 0a").toHex(' '));
    QCOMPARE(message(), QStringLiteral("开始PID调试"));
    QCOMPARE(child<QPushButton>("buttonStart")->text(), QStringLiteral("停止"));
    QVERIFY(window->pidDiagram()->isRefreshing());
    QVERIFY(child<QPushButton>("buttonPause")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonExport")->isEnabled());
    QVERIFY(!child<QPushButton>("buttonInport")->isEnabled());
    QVERIFY(!child<QCheckBox>("checkStringMode")->isEnabled());

    click("buttonStart");
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '),
             hex("43 08 00 00 00 00 00 00 00 0a").toHex(' '));
    QCOMPARE(message(), QStringLiteral("停止PID调试"));
    QCOMPARE(child<QPushButton>("buttonStart")->text(), QStringLiteral("开始"));
    QVERIFY(!window->pidDiagram()->isRefreshing());
    QVERIFY(!child<QPushButton>("buttonPause")->isEnabled());
    QVERIFY(child<QPushButton>("buttonExport")->isEnabled());
    QVERIFY(child<QPushButton>("buttonInport")->isEnabled());
    QVERIFY(child<QCheckBox>("checkStringMode")->isEnabled());

    // Closing the port mid-run ends the run; the stop frame finds the port closed.
    click("buttonStart");
    QCOMPARE(board->read(FrameSize, Patience).size(), FrameSize);
    click("buttonOpenportPID");
    QCOMPARE(child<QPushButton>("buttonStart")->text(), QStringLiteral("开始"));
    QVERIFY(!child<QPushButton>("buttonStart")->isEnabled());
    QVERIFY(!window->pidDiagram()->isRefreshing());
    QCOMPARE(board->readFor(50), QByteArray());
}

// One row: the board's frame, the field it fills and the text shown there, the message
// (empty: the status bar is left alone) and the program's reply.
static void boardRow(const char *name, const char *bytes, const char *field, const char *text,
                     const char *shown, const char *reply)
{
    QTest::newRow(name) << hex(bytes) << QString::fromLatin1(field) << QString::fromLatin1(text)
                        << QString::fromUtf8(shown) << hex(reply);
}

void TestPidLinkWindow::boardCommands_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("reply");

    boardRow("P value", "43 01 01 00 00 00 00 20 40 0a", "editP", "2.5", "成功接收P", "");
    boardRow("I value of CH4, the one field", "43 02 01 03 00 00 00 0a 41 0a", "editI", "8.625",
             "成功接收I", "");
    boardRow("D value, direction 2", "43 03 02 00 00 00 00 80 3f 0a", "editD", "1", "成功接收D",
             "");
    boardRow("target value", "43 04 01 00 00 cd cc cc 3d 0a", "editTarget", "0.1", "成功接收目标值",
             "");
    boardRow("actual value", "43 06 01 00 00 00 00 48 c2 0a", "editActual", "-50", "成功接收实际值",
             "");
    // A read request is answered with the number in the program's field (P starts at 1.0).
    boardRow("P read request", "43 01 00 00 00 00 00 00 00 0a", "", "", "成功发送P",
             "43 01 01 00 00 00 00 80 3f 0a");
    boardRow("I read request", "43 02 00 02 00 00 00 00 00 0a", "", "", "成功发送I",
             "43 02 01 00 00 00 00 00 00 0a");
    boardRow("D read request", "43 03 00 00 00 00 00 00 00 0a", "", "", "成功发送D",
             "43 03 01 00 00 00 00 00 00 0a");
    boardRow("target read request", "43 04 00 00 00 00 00 00 00 0a", "", "", "成功发送目标值",
             "43 04 01 00 00 00 00 00 00 0a");
    boardRow("actual read request ignored", "43 06 00 00 00 00 00 00 00 0a", "", "", "", "");
    boardRow("unused operation", "43 05 01 00 00 00 00 80 3f 0a", "", "", "", "");
    boardRow("bad first byte", "44 01 01 00 00 00 00 20 40 0a", "", "", "数据帧头错误", "");
    boardRow("bad terminator", "30 00 00 c0 3f 00 00 00 40 0d", "", "", "校验错误", "");
}

void TestPidLinkWindow::boardCommands()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QByteArray, reply);

    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    const QString before = message();
    sendAndSettle(bytes);
    if (!edit.isEmpty())
        QCOMPARE(child<QLineEdit>(edit.toLatin1().constData())->text(), text);
    QCOMPARE(message(), shown.isEmpty() ? before : shown);
    if (reply.isEmpty())
        QCOMPARE(board->readFor(50).toHex(' '), QByteArray());
    else
        QCOMPARE(board->read(FrameSize, Patience).toHex(' '), reply.toHex(' '));
    // Nothing but the sentinel behind it reached the chart.
    QCOMPARE(window->pidDiagram()->sampleCounts().at(0), 0u);
}

void TestPidLinkWindow::boardStartAndStop()
{
    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    const QByteArray start = hex("43 07 00 00 00 00 00 00 00 0a");
    const QByteArray stop = hex("43 08 00 00 00 00 00 00 00 0a");
    QPushButton *run = child<QPushButton>("buttonStart");

    sendAndSettle(stop); // a stop before any start only reports
    QCOMPARE(message(), QStringLiteral("成功接收到停止指令，停止运行"));
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QCOMPARE(board->readFor(50), QByteArray());

    sendAndSettle(start);
    QCOMPARE(message(), QStringLiteral("成功接收到开始指令，开始运行"));
    QCOMPARE(run->text(), QStringLiteral("停止"));
    QVERIFY(window->pidDiagram()->isRefreshing());
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '), start.toHex(' '));

    sendAndSettle(start); // already running by the board's word: only the message
    QCOMPARE(run->text(), QStringLiteral("停止"));
    QCOMPARE(board->readFor(50), QByteArray());

    sendAndSettle(stop);
    QCOMPARE(message(), QStringLiteral("成功接收到停止指令，停止运行"));
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QVERIFY(!window->pidDiagram()->isRefreshing());
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '), stop.toHex(' '));
}

void TestPidLinkWindow::samplesThroughNoise()
{
    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    QLabel *health = child<QLabel>("labelLinkHealth");
    QVERIFY(health->isVisible());

    // A stream joined mid-frame, noise between frames, a value holding 0x0A, a frame split
    // over two writes, and a burst far larger than one old-style 200-byte read.
    const QByteArray first = sample(0, 1.5f, 2.0f);
    QByteArray burst;
    for (int i = 0; i < 600; ++i)
        burst += sample(1, float(i), 8.625f);
    QVERIFY(board->write(first.mid(3) + sample(0, 8.625f, 1.0f) + "xyz" + first.left(4)));
    QVERIFY(board->write(first.mid(4) + burst));
    sendAndSettle(QByteArray());

    const QVector<QVector<QPointF>> points = window->pidDiagram()->allPoints();
    QCOMPARE(points.at(0).size(), 2);
    QCOMPARE(points.at(0).at(0).y(), 8.625);
    QCOMPARE(points.at(1).at(0).y(), 1.0);
    QCOMPARE(points.at(0).at(1).y(), 1.5);
    QCOMPARE(points.at(1).at(1).y(), 2.0);
    QCOMPARE(points.at(2).size(), 600);
    QCOMPARE(points.at(2).last().y(), 599.0);
    QCOMPARE(message(), QStringLiteral("数据帧头错误"));
    QTRY_COMPARE_WITH_TIMEOUT(health->text(), QStringLiteral("帧 603 · 丢弃 10 字节 · 重同步 2"),
                              Patience);

    click("buttonOpenportPID");
    QVERIFY(!window->serialPort()->isOpen());
    QVERIFY(!health->isVisible());
}

void TestPidLinkWindow::stringMode()
{
    if (!openPidPort())
        QSKIP("the PID tab does not open the port");
    // Half a frame before the switch waits for its rest after switching back.
    const QByteArray frame = sample(2, 7.0f, 8.0f);
    QVERIFY(board->write(frame.left(5)));
    QTest::qWait(50);

    click("checkStringMode");
    QCOMPARE(message(), QStringLiteral("更改接收协议"));
    for (const char *name : parameterButtons)
        QVERIFY2(!child<QPushButton>(name)->isEnabled(), name);

    QVERIFY(board->write("1,2,3,4,5,6,7,8\r\n-1,-2,-3,-4,-5,-6,-7,-8\n1,2"));
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->sampleCounts().at(3), 2u, Patience);
    QVERIFY(board->write(",3\n"));
    QTRY_COMPARE_WITH_TIMEOUT(message(), QStringLiteral("数据格式错误，接收失败"), Patience);
    const QVector<QVector<QPointF>> points = window->pidDiagram()->allPoints();
    for (int s = 0; s < PID_Diagram::SeriesCount; ++s) {
        QCOMPARE(points.at(s).size(), 2);
        QCOMPARE(points.at(s).at(0).y(), double(s + 1));
        QCOMPARE(points.at(s).at(1).y(), -double(s + 1));
    }
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("labelLinkHealth")->text(),
                              QStringLiteral("行 2 · 格式错误 1 · 丢弃 0 字符"), Patience);

    click("checkStringMode");
    for (const char *name : parameterButtons)
        QVERIFY2(child<QPushButton>(name)->isEnabled(), name);
    QVERIFY(board->write(frame.mid(5)));
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->sampleCounts().at(2), 3u, Patience);
    QCOMPARE(window->pidDiagram()->allPoints().at(4).last().y(), 7.0);
}

QTEST_MAIN(TestPidLinkWindow)
#include "tst_pidlinkwindow.moc"
