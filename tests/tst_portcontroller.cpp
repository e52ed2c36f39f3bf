// The port for either tab over a real pseudo-terminal: opening with the tab's settings, the
// driver's answer to them, the receive connection, closing and a line that hangs up.
#include "serial/portcontroller.h"
#include "serial/portsettings.h"
#include "tests/support/pseudoterminal.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

// Takes what the port delivers, as a tab's receive slot does.
class Receiver : public QObject
{
    Q_OBJECT

public:
    explicit Receiver(PortController &ports) : controller(ports) {}
    QByteArray bytes;

public Q_SLOTS:
    void readyRead() { bytes += controller.read(); }

private:
    PortController &controller;
};

class PortControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void openReadWriteClose();
    void settingsApplied_data();
    void settingsApplied();
    void lineFormat_data();
    void lineFormat();
    void lineHangsUp();

private:
    bool open(PortController::Tab tab, const QString &baud = "115200", const QString &stop = "1")
    {
        return ports->open(tab, peer->slavePath(),
                           PortSettings::fromTexts(baud, "8", QStringLiteral("无"), stop),
                           receiver.get(), SLOT(readyRead()));
    }

    // Declared in the order they depend on each other, so they go in reverse.
    std::unique_ptr<PseudoTerminal> peer;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<PortController> ports;
    std::unique_ptr<Receiver> receiver;
    std::unique_ptr<QSignalSpy> opened;
    std::unique_ptr<QSignalSpy> closed;
};

void PortControllerTest::init()
{
    closed.reset();
    opened.reset();
    receiver.reset();
    ports.reset();
    port = std::make_unique<QSerialPort>();
    peer = std::make_unique<PseudoTerminal>();
    QVERIFY(peer->isOpen());
    ports = std::make_unique<PortController>(port.get());
    receiver = std::make_unique<Receiver>(*ports);
    opened = std::make_unique<QSignalSpy>(ports.get(), &PortController::opened);
    closed = std::make_unique<QSignalSpy>(ports.get(), &PortController::closed);
}

void PortControllerTest::openReadWriteClose()
{
    QSignalSpy received(ports.get(), &PortController::received);
    QVERIFY(open(PortController::Pid));
    QCOMPARE(opened->count(), 1);
    QCOMPARE(opened->at(0).at(0).toInt(), int(PortController::Pid));
    QVERIFY(ports->isOpen(PortController::Pid) && !ports->isOpen(PortController::Assistant));

    QVERIFY(peer->write("hello"));
    QTRY_COMPARE(receiver->bytes, QByteArray("hello"));
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("hello"));

    // Only the tab that holds the port closes it.
    ports->close(PortController::Assistant, PortController::ByUser);
    QVERIFY(port->isOpen());
    ports->close(PortController::Pid, PortController::TabSwitch);
    QVERIFY(!port->isOpen() && !ports->isOpen(PortController::Pid));
    QCOMPARE(closed->count(), 1);
    QCOMPARE(closed->at(0),
             (QList<QVariant>{int(PortController::Pid), int(PortController::TabSwitch)}));
    // The receive connection went with the close.
    QVERIFY(peer->write("late"));
    peer->readFor(200);
    QCOMPARE(receiver->bytes, QByteArray("hello"));
}

void PortControllerTest::settingsApplied_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<uint>("speed"); // the terminal's speed constant; 0: a custom rate
    QTest::addColumn<bool>("twoStop");
    QTest::addColumn<QString>("refusal");
    const auto row = [](const char *name, const char *baud, const char *stop, uint speed,
                        const QString &refusal = QString()) {
        QTest::newRow(name) << baud << stop << speed << (stop[0] == '2') << refusal;
    };
    row("start values", "115200", "1", B115200);
    row("typed 300, two stop bits", "300", "2", B300);
    row("slowest", "50", "1", B50);
    row("custom rate", "12345", "1", 0);
    row("fastest", "12000000", "1", 0);
    row("no rate: not opened", "abc", "1", 0, QStringLiteral("波特率必须是正整数"));
}

// Read back from the terminal driver: the rate the box names is the one the port gets, custom
// rates too. A pseudo-terminal forces eight bits without parity, so those two are left to the
// conversion's own test. A text that is no rate opens nothing and says why.
void PortControllerTest::settingsApplied()
{
    QFETCH(QString, baud);
    QFETCH(QString, stopBits);
    QFETCH(uint, speed);
    QFETCH(QString, refusal);
    QSignalSpy refused(ports.get(), &PortController::settingsRefused);
    QCOMPARE(open(PortController::Assistant, baud, stopBits), refusal.isEmpty());
    QCOMPARE(port->isOpen(), refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0).at(1).toString(), refusal);
        QCOMPARE(opened->count(), 0);
        return;
    }
    QCOMPARE(port->baudRate(), baud.toInt());
    termios line{};
    const QByteArray path = peer->slavePath().toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0 && tcgetattr(fd, &line) == 0);
    ::close(fd);
    if (speed != 0)
        QCOMPARE(uint(cfgetospeed(&line)), speed);
    QTEST((line.c_cflag & CSTOPB) != 0, "twoStop");
    QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
}

void PortControllerTest::lineFormat_data()
{
    QTest::addColumn<QStringList>("texts"); // data bits, parity, stop bits
    QTest::addColumn<QVector<int>>("expected");
    QTest::newRow("8N1") << QStringList{"8", QStringLiteral("无"), "1"}
                         << QVector<int>{QSerialPort::Data8, QSerialPort::NoParity,
                                         QSerialPort::OneStop};
    QTest::newRow("7E2") << QStringList{"7", QStringLiteral("偶"), "2"}
                         << QVector<int>{QSerialPort::Data7, QSerialPort::EvenParity,
                                         QSerialPort::TwoStop};
    QTest::newRow("5O1") << QStringList{"5", QStringLiteral("奇"), "1"}
                         << QVector<int>{QSerialPort::Data5, QSerialPort::OddParity,
                                         QSerialPort::OneStop};
}

// What the pseudo-terminal cannot hold (data bits, parity), read back from a port that is not
// open: it keeps what it is handed.
void PortControllerTest::lineFormat()
{
    QFETCH(QStringList, texts);
    QSerialPort unopened;
    QVERIFY(PortController::applySettings(
        unopened, PortSettings::fromTexts("9600", texts[0], texts[1], texts[2])));
    QCOMPARE(unopened.baudRate(), 9600);
    QTEST((QVector<int>{unopened.dataBits(), unopened.parity(), unopened.stopBits()}), "expected");
}

// An adapter pulled out: the hung-up line reports errors until the port is closed, which
// happens once, on the next pass of the event loop. In a second session, as a close drops the
// port's connections and each open must watch the line again.
void PortControllerTest::lineHangsUp()
{
    QVERIFY(open(PortController::Assistant));
    ports->close(PortController::Assistant, PortController::ByUser);
    QVERIFY(open(PortController::Assistant));
    closed->clear();
    peer->hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(closed->count(), 1, 10000);
    QCOMPARE(closed->at(0),
             (QList<QVariant>{int(PortController::Assistant), int(PortController::PortFailure)}));
    QVERIFY(!port->isOpen() && !ports->isOpen(PortController::Assistant));
    QTest::qWait(300);
    QCOMPARE(closed->count(), 1);
}

QTEST_GUILESS_MAIN(PortControllerTest)
#include "tst_portcontroller.moc"
