// The GUI-free pieces: serial port names, the rescan list, line settings and baud rates, the
// send input; the PID link's frames, receiver, string-mode splitter and parameter texts; the
// CSV codec, whole, in slices and from the sample store.
#include "assistant/sendinput.h"
#include "chart/samplestore.h"
#include "datafiles/csvcodec.h"
#include "datafiles/csvdecoder.h"
#include "datafiles/storeexport.h"
#include "pidlink/framereceiver.h"
#include "pidlink/parametertext.h"
#include "pidlink/samplelinesplitter.h"
#include "serial/portlistrefill.h"
#include "serial/portname.h"
#include "serial/portsettings.h"
#include "tests/support/testdata.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {
using Chunks = QList<QByteArray>;
using Channels = QVector<QVector<QPair<float, float>>>; // (actual, target) per sample
using Rows = QVector<CsvCodec::Row>;
const float inf = std::numeric_limits<float>::infinity();

QString describe(const FrameReceiver::Event &e)
{
    switch (e.type) {
    case FrameReceiver::Event::Sample:
        return QStringLiteral("S%1 %2 %3").arg(e.channel).arg(e.actual).arg(e.target);
    case FrameReceiver::Event::Command:
        return QStringLiteral("C%1/%2/%3 %4").arg(e.op).arg(e.dir).arg(e.channel).arg(e.value);
    case FrameReceiver::Event::HeaderError:
        return QStringLiteral("H%1").arg(e.discarded);
    case FrameReceiver::Event::TerminatorError:
        return QStringLiteral("T%1").arg(e.discarded);
    }
    return QString();
}

QString describe(const SampleLineSplitter::Event &e)
{
    QStringList values;
    for (float v : e.values)
        values << QString::number(v);
    if (e.type == SampleLineSplitter::Event::Line)
        return QLatin1Char('L') + values.join(QLatin1Char(','));
    return e.type == SampleLineSplitter::Event::Overlong ? QStringLiteral("O") : "M:" + e.text;
}

template <typename Parser> QStringList feedAll(Parser &parser, const Chunks &chunks)
{
    std::vector<typename Parser::Event> events;
    for (const QByteArray &chunk : chunks)
        parser.feed(chunk, events);
    QStringList out;
    for (const auto &e : events)
        out << describe(e);
    return out;
}

// The same rows from a sample store keeping the newest `capacity` samples, in slices.
QByteArray encodeFromStore(const Channels &channels, quint64 capacity)
{
    SampleStore store(capacity);
    for (int c = 0; c < channels.size(); ++c) {
        for (const auto &sample : channels[c])
            store.append(c, sample.first, sample.second);
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    StoreExport::write(out, store);
    return out.data();
}

Channels newest(Channels channels, int count)
{
    for (auto &samples : channels)
        samples = samples.mid(std::max(0, int(samples.size()) - count));
    return channels;
}
} // namespace

Q_DECLARE_METATYPE(Channels)
Q_DECLARE_METATYPE(Rows)

class TestCodecs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portName_data();
    void portName();
    void portListRefill_data();
    void portListRefill();
    void settings_data();
    void settings();
    void sendInput_data();
    void sendInput();
    void sendPeriod();

    void parameterText_data();
    void parameterText();
    void frames_data();
    void frames();
    void lines_data();
    void lines();

    void csvRows_data();
    void csvRows();
    void csvExportLimits();
    void csvNumbersMatchQt();
    void csvDecodes_data();
    void csvDecodes();
    void csvGrownPastItsSize();
};

void TestCodecs::portName_data()
{
    QTest::addColumn<QString>("entry"); // "@" stands for a folder holding a file "my port"
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device"); // a COM port as Windows opens it; empty: not one
    const auto row = [](const char *entry, const char *name, const char *device) {
        QTest::newRow(*entry ? entry : "empty box")
            << QString(entry) << QString(name) << QString(device);
    };
    row("ttyUSB0 USB Serial", "ttyUSB0", "");
    row("COM3 USB-SERIAL CH340", "COM3", "COM3");
    row("COM12 USB Serial Port", "COM12", "\\\\.\\COM12");
    row("", "", "");
    row("@/my port", "@/my port", "");            // a typed device path with a space
    row("@/my port 2", "@/my", "");               // names nothing: cut at the space
    row("/dev/null USB Serial", "/dev/null", ""); // a scanned entry of an existing device
}

void TestCodecs::portName()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(QString, device);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("my port")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    entry.replace(QLatin1Char('@'), dir.path());
    name.replace(QLatin1Char('@'), dir.path());
    QCOMPARE(portNameFromEntry(entry), name);
    QCOMPARE(deviceLocation(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    if (!device.isEmpty()) {
        QCOMPARE(withDevicePrefix(name), device);
        QCOMPARE(withDevicePrefix(device), device);
    }
}

void TestCodecs::portListRefill_data()
{
    QTest::addColumn<QStringList>("scanned");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("present"); // the typed devices that still exist
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("current");
    const QStringList ports{"ttyS0 ", "ttyUSB0 USB Serial"};
    const QString pts3 = "/dev/pts/3", pts4 = "/dev/pts/4";
    const QStringList typed{pts3}, both = ports + typed;
    QTest::newRow("typed device kept and selected") << ports << typed << typed << pts3 << both << 2;
    QTest::newRow("vanished typed device dropped")
        << ports << typed << QStringList{} << pts3 << ports << 0;
    QTest::newRow("scanned selection goes to the first")
        << ports << typed << typed << ports[1] << both << 0;
    QTest::newRow("typed device the scan lists shown once")
        << ports << QStringList{"/dev/ttyUSB0"} << QStringList{} << "/dev/ttyUSB0" << ports << 1;
    QTest::newRow("no ports found, typed only, blanks and repeats")
        << QStringList{} << QStringList{pts3, " ", pts4 + "\n", pts3} << QStringList{pts3, pts4}
        << pts4 << QStringList{pts3, pts4} << 1;
    QTest::newRow("nothing") << QStringList{} << QStringList{} << QStringList{} << QString()
                             << QStringList{} << -1;
}

void TestCodecs::portListRefill()
{
    QFETCH(QStringList, scanned);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, present);
    QFETCH(QString, selected);
    const PortListRefill refill = PortListRefill::build(
        scanned, typed, selected, [&](const QString &device) { return present.contains(device); });
    QTEST(refill.items, "items");
    QTEST(refill.current, "current");
}

void TestCodecs::settings_data()
{
    QTest::addColumn<QStringList>("texts"); // rate, data bits, parity, stop bits
    QTest::addColumn<QVector<int>>("expected");
    QTest::addColumn<QString>("problem");
    using Parity = PortSettings::Parity;
    const auto row = [](const char *name, const QStringList &texts, const QVector<int> &values,
                        const QString &problem = QString()) {
        QTest::newRow(name) << texts << values << problem;
    };
    // The baud box alone; 8N1 from the others.
    const auto baud = [&row](const char *text, int rate, const QString &problem = QString()) {
        row(*text ? text : "empty", {text, "8", QStringLiteral("无"), "1"},
            {rate, 8, int(Parity::None), 1}, problem);
    };
    row("start values", {"115200", "8", QStringLiteral("无"), "1"},
        {115200, 8, int(Parity::None), 1});
    row("7 odd 2", {"9600", "7", QStringLiteral("奇"), "2"}, {9600, 7, int(Parity::Odd), 2});
    row("5 even", {"2400", "5", QStringLiteral("偶"), "1"}, {2400, 5, int(Parity::Even), 1});
    const QString notPositive = QStringLiteral("波特率必须是正整数");
    const QString range = QStringLiteral("波特率超出范围（50～12000000）");
    row("other boxes fall back", {"fast", "9", "", "3"}, {0, 8, int(Parity::None), 1}, notPositive);
    baud(" 9600 ", 9600);
    baud("12345", 12345); // not a standard rate: the driver makes it
    baud("50", 50);
    baud("12000000", 12000000);
    baud("", 0, QStringLiteral("波特率不能为空"));
    for (const char *text : {"0", "-5", "+9600", "96 00", "9600.0"})
        baud(text, 0, notPositive);
    for (const char *text : {"49", "12000001", "99999999999", "000000000000000000009600"})
        baud(text, 0, range);
}

// Whether the port gets the rate and the driver's answer: tst_portcontroller.
void TestCodecs::settings()
{
    QFETCH(QStringList, texts);
    const PortSettings s = PortSettings::fromTexts(texts[0], texts[1], texts[2], texts[3]);
    QTEST((QVector<int>{int(s.baudRate), s.dataBits, int(s.parity), s.stopBits}), "expected");
    QTEST(s.problem, "problem");
    QCOMPARE(s.isValid(), s.baudRate != 0);
}

void TestCodecs::sendInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("newLine");
    QTest::addColumn<QByteArray>("bytes"); // null: refused
    const auto row = [](const char *name, const QString &text, bool hex, bool newLine,
                        const QByteArray &bytes) {
        QTest::newRow(name) << text << hex << newLine << bytes;
    };
    // Values of four characters, one separator of any kind between them, read with base 0.
    row("hex over lines", "0x41 0x42\n0x0D", true, false, "AB\r");
    row("hex, other separators", "0x41,0x42\t0xff\r0X7f", true, false, "AB\xff\x7f");
    row("hex, octal and decimal, low eight bits", "0255 1000", true, false, "\xad\xe8");
    row("hex, short last value", "0x41 7", true, false, "A\x07");
    row("hex, sign", "+0x1", true, false, "\x01");
    row("hex, one trailing separator", "0x41 ", true, false, "A");
    row("hex ignores the line end", "0x41", true, true, "A");
    row("hex, empty", "", true, false, QByteArray(""));
    row("hex without separator refused", "0x410x42", true, false, QByteArray());
    row("hex, one bad value refuses all", "0x41 0xZZ 0x42", true, false, QByteArray());
    row("hex, trailing blanks refused", "0x41  ", true, false, QByteArray());
    row("hex, bad octal refused", "0099", true, false, QByteArray());
    row("hex, binary prefix refused", "0x41 0b11", true, false, QByteArray());
    row("hex, NUL in a value refused", QStringLiteral("0x41 0") + QChar(0) + QLatin1Char('7'), true,
        false, QByteArray());
    // The fixed width would read these differently from what was typed.
    row("hex, two spaces refused", "0x41  0x42", true, false, QByteArray());
    row("hex, three digits refused", "0x141 0x42", true, false, QByteArray());
    row("hex, digit after the last value refused", "0x411", true, false, QByteArray());
    row("hex, leading space refused", " 0x41", true, false, QByteArray());
    row("hex, short value and two separators refused", "0x4 ,0x42", true, false, QByteArray());
    row("hex, short last value and a space refused", "0x41 0x4 ", true, false, QByteArray());
    row("text with line end", "AT", false, true, "AT\r\n");
    row("chinese text as UTF-8", QStringLiteral("你好"), false, false, "\xe4\xbd\xa0\xe5\xa5\xbd");
}

void TestCodecs::sendInput()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(bool, newLine);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> sent = sendInputBytes(text, hex, newLine);
    QCOMPARE(sent.has_value(), !bytes.isNull());
    QCOMPARE(sent.value_or(QByteArray()), bytes);
}

void TestCodecs::sendPeriod()
{
    QCOMPARE(parseSendPeriod("1000"), std::optional<int>(1000));
    QCOMPARE(parseSendPeriod("2147483647"), std::optional<int>(2147483647));
    // A full-width space, as a Chinese input method types it.
    QCOMPARE(parseSendPeriod(QStringLiteral("1000\u3000")), std::optional<int>(1000));
    for (const char *bad : {"0", "abc", "1.5", "-5", "", "2147483648", "99999999999"})
        QVERIFY2(!parseSendPeriod(QString::fromLatin1(bad)), bad);
    QVERIFY(!parseSendPeriod(QStringLiteral("10") + QChar(0)));
}

void TestCodecs::parameterText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame"); // written as P of CH3; empty: refused, nothing sent
    const auto row = [](const char *name, const char *text, const char *frame) {
        QTest::newRow(name) << QString::fromUtf8(text) << hex(frame);
    };
    row("1.5", "1.5", "43 01 01 02 00 00 00 c0 3f 0a");
    row("white space around", " 1.5\t\n", "43 01 01 02 00 00 00 c0 3f 0a");
    row("sign and exponent", "+1E38", "43 01 01 02 00 99 76 96 7e 0a");
    row("negative zero", "-0", "43 01 01 02 00 00 00 00 80 0a");
    row("inner 0x0A", "8.625", "43 01 01 02 00 00 00 0a 41 0a");
    row("no leading digit", ".5", "43 01 01 02 00 00 00 00 3f 0a");
    row("subnormal", "1e-40", "43 01 01 02 00 c2 16 01 00 0a");
    // Refused: letters, a decimal comma, blanks, out of float's range, not finite, hexadecimal,
    // a suffix, a full-width digit.
    for (const char *bad : {"abc", "0,5", "", "   ", "1e99", "1e-50", "inf", "-inf", "nan", "0x10",
                            "1.5f", "\xef\xbc\x91"})
        QTest::addRow("refused '%s'", bad) << QString::fromUtf8(bad) << QByteArray();
}

void TestCodecs::parameterText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    const std::optional<float> value = parameterValue(text);
    QCOMPARE(value.has_value(), !frame.isEmpty());
    if (!value)
        return;
    QCOMPARE(commandFrame(CmdP, DirWrite, 2, *value), frame);
    QCOMPARE(commandValue(frame.constData()), *value);
    // The bytes the unchecked conversion sent for the same text.
    QCOMPARE(commandFrame(CmdP, DirWrite, 2, text.toFloat()), frame);
}

void TestCodecs::frames_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QVector<int>>("counts"); // pending, frames, discarded, resyncs

    const QByteArray s0 = sampleFrame(0, 1.5f, 2.0f), s1 = sampleFrame(1, -3.0f, 4.25f);
    const QByteArray s3 = sampleFrame(3, 100.0f, 0.0f);
    const QString e0 = QStringLiteral("S0 1.5 2"), e1 = QStringLiteral("S1 -3 4.25");
    const QString e3 = QStringLiteral("S3 100 0");
    const QByteArray badEnd = s0.left(9) + '\x0b', badKind = 'D' + s0.mid(1);
    const auto row = [](const char *name, const Chunks &chunks, const QStringList &events,
                        const QVector<int> &counts) {
        QTest::newRow(name) << chunks << events << counts;
    };
    row("three frames and 5 bytes", {s0 + s1 + s3 + s0.left(5)}, {e0, e1, e3}, {5, 3, 0, 0});
    // 8.625 is 00 00 0a 41.
    row("0x0A in a value", {s0 + sampleFrame(2, 1, 8.625f) + s1}, {e0, "S2 1 8.625", e1},
        {0, 3, 0, 0});
    row("garbage before", {"xyz" + s0}, {"H3", e0}, {0, 1, 3, 1});
    row("garbage after", {s0 + "zz"}, {e0, "H2"}, {0, 1, 2, 1});
    row("garbage between, over two reads", {s0 + "zz", "z" + s1}, {e0, "H2", "H1", e1},
        {0, 2, 3, 1});
    row("bad first byte", {badKind + s1}, {"H10", e1}, {0, 1, 10, 1});
    row("bad terminator", {s1 + badEnd, s3}, {e1, "T10", e3}, {0, 2, 10, 1});
    // One byte dropped at a time: the frame behind a broken one is not lost with it.
    row("kind byte as noise", {"C" + s0}, {"T1", e0}, {0, 1, 1, 1});
    row("frame that lost bytes", {s0.left(6) + s1 + s3}, {"T6", e1, e3}, {0, 2, 6, 1});
    row("joined mid-frame", {s0.mid(6) + s1 + s3}, {"H4", e1, e3}, {0, 2, 4, 1});
    row("command, then samples", {commandFrame(CmdP, 1, 0, 2.5f) + s0 + s1}, {"C1/1/0 2.5", e0, e1},
        {0, 3, 0, 0});
    row("two noisy stretches", {"a" + s0 + "bc" + s1}, {"H1", e0, "H2", e1}, {0, 2, 3, 2});
}

void TestCodecs::frames()
{
    QFETCH(Chunks, chunks);
    FrameReceiver receiver;
    QTEST(feedAll(receiver, chunks), "events");
    const FrameReceiver::Health &h = receiver.health();
    QTEST((QVector<int>{receiver.pendingBytes(), int(h.frames), int(h.discarded), int(h.resyncs)}),
          "counts");
}

void TestCodecs::lines_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("pending");
    const QByteArray ok = "1,2,3,4,5,6,7,8\n", longText(SampleLineSplitter::MaxLineLength, '7');
    const QString eOk = QStringLiteral("L1,2,3,4,5,6,7,8");
    const auto row = [](const char *name, const Chunks &chunks, const QStringList &events,
                        int pending = 0) { QTest::newRow(name) << chunks << events << pending; };
    row("valid", {ok}, {eOk});
    row("seven fields", {"1,2,3,4,5,6,7\n"}, {"M:1,2,3,4,5,6,7"});
    row("nine fields", {"1,2,3,4,5,6,7,8,9\n"}, {eOk});
    row("empty field", {"1,,3,4,5,6,7,8\n"}, {"L1,0,3,4,5,6,7,8"});
    row("CR LF", {"1,2,3,4,5,6,7,8\r\n"}, {eOk});
    row("white space, decimals, no numbers", {" 1.5 ,\t-2.25, x ,1e3,1;2,6,1e99,  8  \n"},
        {"L1.5,-2.25,0,1000,0,6,0,8"});
    row("several in one read, then the start of the next", {ok + "8,7,6,5,4,3,2,1\n" + ok + "9,9"},
        {eOk, "L8,7,6,5,4,3,2,1", eOk}, 3);
    row("split over reads", {"1,2,3", ",4,5,6,7", ",8\n"}, {eOk});
    row("CR and LF in different reads", {"1,2,3,4,5,6,7,8\r", "\n"}, {eOk});
    row("empty line", {"\n" + ok}, {"M:", eOk});
    row("not finite", {"inf,-inf,nan,0,0,0,0,0\n"}, {"Linf,-inf,nan,0,0,0,0,0"});
    row("UTF-8 split inside a character", {"温", "\xe5\xba", "\xa6,1\n"}, {"M:温度,1"});
    row("broken character at the end of a read, LF next", {"1,2,3,4,5,6,7,8\xc3", "\n" + ok},
        {"L1,2,3,4,5,6,7,0", eOk});
    row("byte order mark at the start, split", {"\xef\xbb", "\xbf" + ok + "\xef\xbb\xbf" + ok},
        {eOk, "L0,2,3,4,5,6,7,8"});
    row("line of exactly the limit", {longText + "\n"}, {"M:" + QString(longText)});
    row("over-long over reads, then a line", {longText, "77", "77", ",8\n" + ok}, {"O", eOk});
    row("over-long without an end keeps nothing", {longText, longText, "1,2"}, {"O"});
}

void TestCodecs::lines()
{
    QFETCH(Chunks, chunks);
    SampleLineSplitter splitter;
    QTEST(feedAll(splitter, chunks), "events");
    QTEST(splitter.pendingLength(), "pending");
}

void TestCodecs::csvRows_data()
{
    QTest::addColumn<Channels>("channels");
    QTest::addColumn<QByteArray>("expected");
    const auto number = [](const char *name, float value, const QByteArray &text) {
        QTest::newRow(name) << Channels{{{value, value}}, {}, {}, {}}
                            << text + ',' + text + ",0,0,0,0,0,0,\n";
    };
    QTest::newRow("empty chart") << Channels(4) << QByteArray();
    QTest::newRow("channel 2 longer than channel 1")
        << Channels{{{1, 2}, {3, 4}}, {{7, 8}, {9, 10}, {11, 12}}, {}, {}}
        << QByteArray("1,2,7,8,0,0,0,0,\n3,4,9,10,0,0,0,0,\n0,0,11,12,0,0,0,0,\n");
    QTest::newRow("only channel 4")
        << Channels{{}, {}, {}, {{-1, 1}}} << QByteArray("0,0,0,0,0,0,-1,1,\n");
    // Other numbers: csvNumbersMatchQt.
    number("negative zero", -0.0f, "0");
    number("negative infinity", -inf, "-inf");
    number("not a number", std::numeric_limits<float>::quiet_NaN(), "nan");
}

void TestCodecs::csvRows()
{
    QFETCH(Channels, channels);
    QTEST(encodeFromStore(channels, SampleStore::Unlimited), "expected");
    // A history that dropped its oldest samples writes what it holds.
    QCOMPARE(encodeFromStore(channels, 2),
             encodeFromStore(newest(channels, 2), SampleStore::Unlimited));
}

// The export is refused up front where the import could not read it back; the widest row
// stays within the size the import allows for.
void TestCodecs::csvExportLimits()
{
    QVERIFY(CsvCodec::exportRefusal(CsvCodec::MaxRows).isNull());
    QCOMPARE(CsvCodec::exportRefusal(quint64(CsvCodec::MaxRows) + 1),
             QStringLiteral("数据过多（超过10000000行）"));
    QCOMPARE(CsvCodec::rowCount({3, 7, 0, 12345, 1, 0, 0, 2}), 12345u);
    const QVector<QVector<QPointF>> widest(8, {QPointF(0, -1.23456789e-300)});
    QCOMPARE(CsvCodec::encode(widest, {1, 1, 1, 1}).size(), int(CsvCodec::MaxRowBytes));
}

// The fast formatter must write every value exactly as QString::number(y, 'g', 6) does: any
// float bit pattern, and seven-digit ties with the floats around them.
void TestCodecs::csvNumbersMatchQt()
{
    QRandomGenerator random(100);
    for (int i = 0; i < 400000; ++i) {
        const bool ties = i % 2;
        const quint32 bits = random.generate();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        double y = f;
        if (ties) { // n.nnnnn5 × 10^k, or a float one or two steps away
            y = (random.bounded(100000, 1000000) * 10 + 5) * std::pow(10.0, random.bounded(-12, 6));
            f = float(y);
            for (int step = random.bounded(-2, 3); step != 0; step += step < 0 ? 1 : -1)
                f = std::nextafter(f, step < 0 ? 0.0f : inf);
            y = random.bounded(2) ? double(f) : y;
        }
        QByteArray fast;
        CsvCodec::appendNumber(fast, y);
        const QByteArray qt = QString::number(y, 'g', 6).toLatin1();
        if (fast != qt)
            QFAIL(qPrintable(QStringLiteral("%1: wrote %2, Qt writes %3")
                                 .arg(y, 0, 'g', 17)
                                 .arg(QString(fast), QString(qt))));
    }
}

void TestCodecs::csvDecodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVector<int>>("counts"); // lines, skipped lines
    QTest::addColumn<Rows>("rows");
    const CsvCodec::Row sample{3, 4, 0, 0, 0, 0, 0, 0}, counting{1, 2, 3, 4, 5, 6, 7, 8};
    const auto row = [](const char *name, const QByteArray &bytes, QVector<int> counts,
                        const Rows &rows) { QTest::newRow(name) << bytes << counts << rows; };
    row("exported row", "3,4,0,0,0,0,0,0,\n", {1, 0}, {sample});
    row("CR LF, no line end at the end", "3,4,0,0,0,0,0,0,\r\n1,2,3,4,5,6,7,8", {2, 0},
        {sample, counting});
    row("CR line ends", "1,2,3,4,5,6,7,8\r3,4,0,0,0,0,0,0,\r\r1,2,3,4,5,6,7,8\r", {4, 0},
        {counting, sample, counting});
    row("mixed line ends", "3,4,0,0,0,0,0,0\r\n1,2,3,4,5,6,7,8\n3,4,0,0,0,0,0,0\r", {3, 0},
        {sample, counting, sample});
    row("lone CR ends a line", "1,2\r3,4,5,6,7,8,9\n", {2, 2}, {});
    row("seven fields skipped and counted", "1,2,3,4,5,6,7\n1,2,3,4,5,6,7,8\n", {2, 1}, {counting});
    row("long line, extra fields ignored", "1,2,3,4,5,6,7,8,9,10,abc,,\n", {1, 0}, {counting});
    row("blank lines neither rows nor skipped", "\n \n1,2,3,4,5,6,7,8\n\t\n", {4, 0}, {counting});
    row("rows of commas", ",,,,,,,,\n,,,,,,,,,\n", {2, 2}, {});
    row("prose", "Dear board,\nthe quick, brown, fox, jumps, over, the, lazy, dog, twice\n", {2, 2},
        {});
    row("any field not a number", "x,2, 1.5.5,\t4 ,--5,,7,8y\n1,2,3,4,5,6,7,0x10\n", {2, 2}, {});
    row("empty eighth field", "1,2,3,4,5,6,7,\n", {1, 1}, {});
    row("blanks around numbers", " 1 ,\t2\t, 3,4 ,5,6,7,8\n", {1, 0}, {counting});
    row("exponents, signs, beyond float range", "1e-05,-1.23457e+06,+2,.5,-0,1E3,5.,-1e40\n",
        {1, 0}, {{1e-05f, -1.23457e+06f, 2, 0.5f, -0.0f, 1000, 5, -inf}});
    row("what the export writes for values not finite", "inf,-inf,nan,INF,+Inf,1e-50,1e-40,0\n",
        {1, 0}, {{inf, -inf, std::nanf(""), inf, inf, 0, 1e-40f, 0}});
    row("signed nan is no number", "-nan,0,0,0,0,0,0,0\n", {1, 1}, {});
    const QByteArray bom("\xEF\xBB\xBF"), line("1,2,3,4,5,6,7,8\n");
    row("byte order mark", bom + line, {1, 0}, {counting});
    row("nothing but a byte order mark", bom, {0, 0}, {});
    row("byte order mark only at the start", line + bom + line, {2, 1}, {counting});
    row("line too long to hold",
        QByteArray(CsvCodec::MaxLineBytes, ' ') + "1,2,3,4,5,6,7,8\n" + "1,2,3,4,5,6,7,8", {2, 1},
        {counting});
}

// The same whether the file comes whole, byte by byte or cut in two anywhere.
void TestCodecs::csvDecodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVector<int>, counts);
    QFETCH(Rows, rows);
    // Every field to nine digits: a sign of zero and a NaN count as themselves.
    const auto text = [](const Rows &all, qint64 lines, qint64 skipped) {
        QStringList out{QString::number(lines), QString::number(skipped)};
        for (const CsvCodec::Row &row : all)
            for (const float v : row)
                out << QString::number(double(v), 'g', 9);
        return out.join(QLatin1Char(' '));
    };
    const QString expected = text(rows, counts[0], counts[1]);
    const auto check = [&](const Rows &got, const CsvDecoder &decoder, const QString &how) {
        const QString read = text(got, decoder.lineCount(), decoder.skippedLines());
        QVERIFY2(read == expected, qPrintable(how + QStringLiteral(": ") + read));
    };
    const int step = bytes.size() > 1000 ? 997 : 1;
    for (int cut = 0; cut <= bytes.size(); cut += step) {
        CsvDecoder decoder;
        QVector<CsvCodec::Row> got;
        QVERIFY(decoder.feed(bytes.left(cut), got));
        QVERIFY(decoder.feed(bytes.mid(cut), got));
        QVERIFY(decoder.finish(got));
        check(got, decoder, QStringLiteral("cut at %1").arg(cut));
    }
    CsvDecoder bytewise;
    QVector<CsvCodec::Row> got;
    for (char c : bytes)
        QVERIFY(bytewise.feed(&c, 1, got));
    QVERIFY(bytewise.finish(got));
    check(got, bytewise, QStringLiteral("byte by byte"));
    QCOMPARE(bytewise.rowCount(), qint64(rows.size()));
    QCOMPARE(bytewise.bytesFed(), qint64(bytes.size()));
}

// A file that grew past the size checked before reading is refused by the codec itself.
void TestCodecs::csvGrownPastItsSize()
{
    // The file may not grow past its limit; one long line is never held.
    CsvDecoder decoder;
    QVector<CsvCodec::Row> rows;
    const QByteArray slice(64 * 1024 * 1024, 'x');
    qint64 fed = 0;
    for (; fed + slice.size() <= CsvCodec::MaxFileBytes; fed += slice.size())
        QVERIFY(decoder.feed(slice, rows));
    QVERIFY(decoder.feed(slice.left(int(CsvCodec::MaxFileBytes - fed)), rows));
    QVERIFY(!decoder.feed("x", 1, rows));
    QCOMPARE(int(decoder.status()), int(CsvDecoder::Status::TooLarge));
    QVERIFY(!decoder.finish(rows));
    QVERIFY(rows.isEmpty());

    CsvDecoder small(2);
    QVERIFY(
        !small.feed(QByteArray("1,2,3,4,5,6,7,8\nx\n1,2,3,4,5,6,7,8\n3,4,0,0,0,0,0,0\n"), rows));
    QCOMPARE(int(small.status()), int(CsvDecoder::Status::TooManyRows));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(small.skippedLines(), qint64(1));
}

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
