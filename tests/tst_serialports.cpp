// Opening, closing and losing the port on both tabs, through the window and a real
// pseudo-terminal.
#include "app/serialhelper.h"
#include "tests/serialwindowdriver.h"

#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
const QString closedText = QStringLiteral("打开串口");
const QString openText = QStringLiteral("关闭串口");

// The line settings as the terminal driver holds them, read through a second descriptor.
termios lineSettings(const QString &path)
{
    termios settings{};
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        tcgetattr(fd, &settings);
        ::close(fd);
    }
    return settings;
}

const char *const assistantBoxes[] = {"comboPort", "comboBaudrate", "comboDatabit", "comboStopbit",
                                      "comboCheckbit"};
const char *const assistantOpenOnly[] = {"buttonSelectfile", "buttonSendData", "checkAutoSend"};
const char *const pidBoxes[] = {"comboPortPID", "comboBaudratePID", "comboDatabitPID",
                                "comboStopbitPID", "comboCheckbitPID"};

void verifyAssistantWidgets(SerialWindowDriver &d, bool open)
{
    QCOMPARE(d.child<QPushButton>("buttonOpenport")->text(), open ? openText : closedText);
    QCOMPARE(d.child<QWidget>("buttonScan")->isEnabled(), !open);
    for (const char *name : assistantBoxes)
        QVERIFY2(d.child<QWidget>(name)->isEnabled() == !open, name);
    for (const char *name : assistantOpenOnly)
        QVERIFY2(d.child<QWidget>(name)->isEnabled() == open, name);
}

void verifyPidWidgets(SerialWindowDriver &d, bool open)
{
    QCOMPARE(d.child<QPushButton>("buttonOpenportPID")->text(), open ? openText : closedText);
    QVERIFY(d.child<QWidget>("buttonScanPID")->isEnabled());
    for (const char *name : pidBoxes)
        QVERIFY2(d.child<QWidget>(name)->isEnabled() == !open, name);
    QCOMPARE(d.child<QWidget>("buttonStart")->isEnabled(), open);
}
} // namespace

class SerialPortsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openAndClose_data();
    void openAndClose();
    void openFailure_data();
    void openFailure();
    void settingsApplied_data();
    void settingsApplied();
    void pidOpenAndClose();
    void tabSwitchReleasesPort_data();
    void tabSwitchReleasesPort();
    void unpluggedAdapter_data();
    void unpluggedAdapter();
    void rescan_data();
    void rescan();
};

void SerialPortsTest::openAndClose_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("typed device path") << QString();
    QTest::newRow("entry with description") << QStringLiteral(" USB Serial Port");
}

void SerialPortsTest::openAndClose()
{
    QFETCH(QString, suffix);
    SerialWindowDriver d;
    QVERIFY(d.peer().isOpen());
    d.openAssistant(suffix);
    QCOMPARE(d.status(), d.peer().slavePath() + QStringLiteral("打开成功！"));
    QVERIFY(d.window().serialPort()->isOpen());
    verifyAssistantWidgets(d, true);

    d.click("buttonOpenport");
    QVERIFY(!d.window().serialPort()->isOpen());
    verifyAssistantWidgets(d, false);

    // The receive connection went with the close.
    QVERIFY(d.peer().write("late"));
    d.peer().readFor(300);
    QCOMPARE(d.child<QTextEdit>("textRecvOutput")->toPlainText(), QString());
}

void SerialPortsTest::openFailure_data()
{
    QTest::addColumn<QString>("portText");
    QTest::newRow("missing device") << QStringLiteral("/dev/tavrino-no-such-tty");
    QTest::newRow("empty box") << QString();
    QTest::newRow("leading space") << QStringLiteral(" ttyUSB0");
}

void SerialPortsTest::openFailure()
{
    QFETCH(QString, portText);
    SerialWindowDriver d;
    d.showTab("tabUSART");
    d.typeInto("comboPort", portText);
    d.click("buttonOpenport");
    QCOMPARE(d.status(), QStringLiteral("打开失败！"));
    QVERIFY(!d.window().serialPort()->isOpen());
    verifyAssistantWidgets(d, false);
}

void SerialPortsTest::settingsApplied_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<bool>("twoStop");
    QTest::newRow("start values") << QStringLiteral("115200") << QStringLiteral("1")
                                  << uint(B115200) << false;
    QTest::newRow("9600, two stop bits")
        << QStringLiteral("9600") << QStringLiteral("2") << uint(B9600) << true;
    QTest::newRow("typed rate") << QStringLiteral("300") << QStringLiteral("1") << uint(B300)
                                << false;
}

void SerialPortsTest::settingsApplied()
{
    QFETCH(QString, baud);
    QFETCH(QString, stopBits);
    SerialWindowDriver d;
    d.showTab("tabUSART");
    d.typeInto("comboBaudrate", baud);
    d.choose("comboStopbit", stopBits);
    QCOMPARE(d.child<QComboBox>("comboStopbit")->currentText(), stopBits);
    d.openAssistant();
    QVERIFY(d.window().serialPort()->isOpen());

    // Read back from the terminal driver. A pseudo-terminal forces eight bits without parity,
    // so those two are left to the settings conversion's own test.
    const termios line = lineSettings(d.peer().slavePath());
    QTEST(uint(cfgetospeed(&line)), "speed");
    QTEST((line.c_cflag & CSTOPB) != 0, "twoStop");
    QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
}

void SerialPortsTest::pidOpenAndClose()
{
    SerialWindowDriver d;
    d.openPid();
    QCOMPARE(d.status(), d.peer().slavePath() + QStringLiteral("打开成功！"));
    QVERIFY(d.window().serialPort()->isOpen());
    verifyPidWidgets(d, true);

    // Rescanning while open is allowed and harmless: the close still closes.
    d.click("buttonScanPID");
    d.click("buttonOpenportPID");
    QVERIFY(!d.window().serialPort()->isOpen());
    verifyPidWidgets(d, false);
}

void SerialPortsTest::tabSwitchReleasesPort_data()
{
    QTest::addColumn<bool>("fromAssistant");
    QTest::newRow("assistant to PID") << true;
    QTest::newRow("PID to assistant") << false;
}

void SerialPortsTest::tabSwitchReleasesPort()
{
    QFETCH(bool, fromAssistant);
    SerialWindowDriver d;
    if (fromAssistant)
        d.openAssistant();
    else
        d.openPid();
    QVERIFY(d.window().serialPort()->isOpen());

    d.showTab(fromAssistant ? "tabPID" : "tabUSART");
    QVERIFY(!d.window().serialPort()->isOpen());
    verifyAssistantWidgets(d, false);
    verifyPidWidgets(d, false);

    // The other tab can take the port now.
    if (fromAssistant)
        d.openPid();
    else
        d.openAssistant();
    QVERIFY(d.window().serialPort()->isOpen());
}

void SerialPortsTest::unpluggedAdapter_data()
{
    QTest::addColumn<bool>("assistant");
    QTest::newRow("assistant tab, auto-send on") << true;
    QTest::newRow("PID tab") << false;
}

void SerialPortsTest::unpluggedAdapter()
{
    QFETCH(bool, assistant);
    SerialWindowDriver d;
    if (assistant) {
        d.openAssistant();
        d.typeText("textTime", QStringLiteral("60000"));
        d.click("checkAutoSend");
        QVERIFY(!d.child<QWidget>("textTime")->isEnabled());
    } else {
        d.openPid();
    }
    QVERIFY(d.window().serialPort()->isOpen());
    qRegisterMetaType<QSerialPort::SerialPortError>();
    QSignalSpy errors(d.window().serialPort(), &QSerialPort::errorOccurred);

    d.peer().hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(d.status(), QStringLiteral("串口已断开"), 10000);
    QVERIFY(!d.window().serialPort()->isOpen());
    if (assistant) {
        verifyAssistantWidgets(d, false);
        QVERIFY(!d.child<QAbstractButton>("checkAutoSend")->isChecked());
        QVERIFY(d.child<QWidget>("textTime")->isEnabled());
    } else {
        verifyPidWidgets(d, false);
    }

    // The error flood of a hung-up line ends with the close.
    const int afterClose = errors.count();
    QTest::qWait(300);
    QCOMPARE(errors.count(), afterClose);
}

void SerialPortsTest::rescan_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QByteArray>("otherBox");
    QTest::newRow("assistant") << QByteArray("buttonScan") << QByteArray("comboPort")
                               << QByteArray("comboPortPID");
    QTest::newRow("PID") << QByteArray("buttonScanPID") << QByteArray("comboPortPID")
                         << QByteArray("comboPort");
}

void SerialPortsTest::rescan()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, box);
    QFETCH(QByteArray, otherBox);
    SerialWindowDriver d;
    d.showTab(box == "comboPort" ? "tabUSART" : "tabPID");
    d.typeInto(box.constData(), QStringLiteral("typed"));
    d.child<QComboBox>(otherBox.constData())->setEditText(QStringLiteral("kept"));
    d.click(button.constData());

    SerialHelper helper;
    const QStringList entries = helper.scanPorts();
    auto *combo = d.child<QComboBox>(box.constData());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, entries);
    QCOMPARE(combo->currentText(), entries.value(0));
    QCOMPARE(d.child<QComboBox>(otherBox.constData())->currentText(), QStringLiteral("kept"));
}

QTEST_MAIN(SerialPortsTest)
#include "tst_serialports.moc"
