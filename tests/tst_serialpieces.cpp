// The GUI-free pieces of the serial side: port names, line settings, the hexadecimal send
// input and the receive formatting.
#include "assistant/hexinput.h"
#include "assistant/receiveformatter.h"
#include "serial/portname.h"
#include "serial/portsettings.h"

#include <QTime>
#include <QtTest>

class SerialPiecesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portName_data();
    void portName();
    void devicePrefix_data();
    void devicePrefix();
    void settings_data();
    void settings();
    void hexInput_data();
    void hexInput();
    void completeLength_data();
    void completeLength();
    void formatArrivals_data();
    void formatArrivals();
    void timeStamp_data();
    void timeStamp();
};

void SerialPiecesTest::portName_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::newRow("usb adapter entry") << "ttyUSB0 USB Serial"
                                       << "ttyUSB0";
    QTest::newRow("acm without description") << "ttyACM0"
                                             << "ttyACM0";
    QTest::newRow("full path typed") << "/dev/pts/3"
                                     << "/dev/pts/3";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"
                                << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("COM3 entry") << "COM3 USB-SERIAL CH340"
                                << "COM3";
    QTest::newRow("COM12 entry") << "COM12 USB Serial Port"
                                 << "COM12";
    QTest::newRow("COM100 entry") << "COM100 Bluetooth"
                                  << "COM100";
    QTest::newRow("empty description") << "COM5 "
                                       << "COM5";
    QTest::newRow("empty box") << ""
                               << "";
}

void SerialPiecesTest::portName()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QCOMPARE(portNameFromEntry(entry), name);
}

void SerialPiecesTest::devicePrefix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prefixed");
    QTest::newRow("COM3 as is") << "COM3"
                                << "COM3";
    QTest::newRow("COM12") << "COM12"
                           << "\\\\.\\COM12";
    QTest::newRow("COM100") << "COM100"
                            << "\\\\.\\COM100";
    QTest::newRow("already prefixed") << "\\\\.\\COM12"
                                      << "\\\\.\\COM12";
}

void SerialPiecesTest::devicePrefix()
{
    QFETCH(QString, name);
    QFETCH(QString, prefixed);
    QCOMPARE(withDevicePrefix(name), prefixed);
}

void SerialPiecesTest::settings_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parityMode");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("start values") << "115200"
                                  << "8"
                                  << "无"
                                  << "1" << 115200 << int(QSerialPort::Data8)
                                  << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
    QTest::newRow("7 odd 2") << "9600"
                             << "7"
                             << "奇"
                             << "2" << 9600 << int(QSerialPort::Data7)
                             << int(QSerialPort::OddParity) << int(QSerialPort::TwoStop);
    QTest::newRow("even") << "2400"
                          << "8"
                          << "偶"
                          << "1" << 2400 << int(QSerialPort::Data8) << int(QSerialPort::EvenParity)
                          << int(QSerialPort::OneStop);
    QTest::newRow("typed rate passes through")
        << "250000"
        << "6"
        << "?"
        << "3" << 250000 << int(QSerialPort::Data6) << int(QSerialPort::NoParity)
        << int(QSerialPort::OneStop);
    QTest::newRow("garbage falls back") << "fast"
                                        << "x"
                                        << ""
                                        << "" << 0 << int(QSerialPort::Data8)
                                        << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
}

void SerialPiecesTest::settings()
{
    QFETCH(QString, baud);
    QFETCH(QString, data);
    QFETCH(QString, parity);
    QFETCH(QString, stop);
    const PortSettings s = PortSettings::fromTexts(baud, data, parity, stop);
    QTEST(int(s.baudRate), "baudRate");
    QTEST(int(s.dataBits), "dataBits");
    QTEST(int(s.parity), "parityMode");
    QTEST(int(s.stopBits), "stopBits");
}

void SerialPiecesTest::hexInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("spaces") << "0x41 0x42 0x0D" << true << QByteArray("\x41\x42\x0d");
    QTest::newRow("comma") << "0x41,0x42" << true << QByteArray("AB");
    QTest::newRow("line break") << "0x41\n0x42" << true << QByteArray("AB");
    QTest::newRow("upper case") << "0XFF" << true << QByteArray("\xff");
    QTest::newRow("one trailing separator") << "0x41 " << true << QByteArray("A");
    QTest::newRow("empty") << "" << true << QByteArray();
    QTest::newRow("octal") << "0255" << true << QByteArray("\xad");
    QTest::newRow("decimal low byte") << "1000" << true << QByteArray("\xe8");
    QTest::newRow("zero byte") << "0x00" << true << QByteArray(1, '\0');
    QTest::newRow("no separator") << "0x410x42" << false << QByteArray();
    QTest::newRow("bad middle value") << "0x41 0xZZ 0x42" << false << QByteArray();
    QTest::newRow("two trailing spaces") << "0x41  " << false << QByteArray();
    QTest::newRow("short value") << "0x4" << true << QByteArray("\x04");
    QTest::newRow("negative") << "-1" << false << QByteArray();
    QTest::newRow("bad octal") << "0099" << false << QByteArray();
    QTest::newRow("not a number") << "abcd" << false << QByteArray();
}

void SerialPiecesTest::hexInput()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> parsed = parseHexInput(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, bytes);
}

void SerialPiecesTest::completeLength_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("length");
    QTest::newRow("ascii") << QByteArray("abc") << 3;
    QTest::newRow("whole two-byte") << QByteArray("a\xc3\xa9") << 3;
    QTest::newRow("cut two-byte") << QByteArray("a\xc3") << 1;
    QTest::newRow("cut three-byte after one") << QByteArray("a\xe4") << 1;
    QTest::newRow("cut three-byte after two") << QByteArray("a\xe4\xbd") << 1;
    QTest::newRow("whole three-byte") << QByteArray("\xe4\xbd\xa0") << 3;
    QTest::newRow("cut four-byte after three") << QByteArray("\xf0\x9f\x98") << 0;
    QTest::newRow("stray continuation") << QByteArray("a\x80") << 2;
    QTest::newRow("invalid lead shown at once") << QByteArray("a\xff") << 2;
    QTest::newRow("overlong lead shown at once") << QByteArray("a\xc0") << 2;
    QTest::newRow("empty") << QByteArray() << 0;
}

void SerialPiecesTest::completeLength()
{
    QFETCH(QByteArray, bytes);
    QTEST(ReceiveFormatter::completeLength(bytes), "length");
}

void SerialPiecesTest::formatArrivals_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<bool>>("hex");
    QTest::addColumn<QStringList>("shown"); // null entries: nothing shown for that arrival
    const QString nothing;
    QTest::newRow("split character")
        << QList<QByteArray>{"A\xe4\xbd", "\xa0"
                                          "B"}
        << QList<bool>{false, false} << QStringList{"A", QStringLiteral("你B")};
    QTest::newRow("four-byte over three arrivals")
        << QList<QByteArray>{"\xf0\x9f", "\x98", "\x80!"} << QList<bool>{false, false, false}
        << QStringList{nothing, nothing, QString::fromUtf8("\xf0\x9f\x98\x80!")};
    QTest::newRow("broken sequence")
        << QList<QByteArray>{"\xe4\xbd", "A"} << QList<bool>{false, false}
        << QStringList{nothing, QStringLiteral("\ufffd\ufffdA")};
    QTest::newRow("zero byte kept")
        << QList<QByteArray>{QByteArray("A\0B", 3)} << QList<bool>{false}
        << QStringList{QString::fromUtf8("A\0B", 3)};
    QTest::newRow("byte order mark kept")
        << QList<QByteArray>{"\xef\xbb\xbfX"} << QList<bool>{false}
        << QStringList{QStringLiteral("\ufeffX")};
    QTest::newRow("held bytes shown in hex after a mode switch")
        << QList<QByteArray>{"A\xe4", "\xbd"} << QList<bool>{false, true}
        << QStringList{"A", "e4 bd"};
    QTest::newRow("empty arrival")
        << QList<QByteArray>{QByteArray()} << QList<bool>{false} << QStringList{nothing};
}

void SerialPiecesTest::formatArrivals()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<bool>, hex);
    QFETCH(QStringList, shown);
    ReceiveFormatter formatter;
    for (int i = 0; i < chunks.size(); ++i) {
        const QString paragraph = formatter.format(chunks.at(i), hex.at(i), false, QTime(0, 0));
        QCOMPARE(paragraph.isNull(), shown.at(i).isNull());
        QCOMPARE(paragraph, shown.at(i));
    }
}

void SerialPiecesTest::timeStamp_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no leading zeros") << QTime(9, 5, 7) << false << QStringLiteral("9时5分7秒:OK");
    QTest::newRow("afternoon hex") << QTime(14, 3, 9) << true << QStringLiteral("14时3分9秒:4f 4b");
    QTest::newRow("midnight") << QTime(0, 0, 0) << false << QStringLiteral("0时0分0秒:OK");
}

void SerialPiecesTest::timeStamp()
{
    QFETCH(QTime, time);
    QFETCH(bool, hex);
    ReceiveFormatter formatter;
    QTEST(formatter.format("OK", hex, true, time), "shown");
}

QTEST_GUILESS_MAIN(SerialPiecesTest)
#include "tst_serialpieces.moc"
