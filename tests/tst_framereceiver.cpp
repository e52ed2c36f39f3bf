// The binary receiver without widgets: what it makes of bytes cut at any place.
#include "pidlink/framereceiver.h"
#include "pidlink/pidframe.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {
QByteArray sample(int channel, float actual, float target)
{
    char frame[FrameSize];
    frame[0] = char('0' + channel);
    putFloatLE(frame + 1, actual);
    putFloatLE(frame + 5, target);
    frame[9] = '\n';
    return QByteArray(frame, FrameSize);
}

QByteArray command(int op, int dir, int channel, float value)
{
    char frame[FrameSize];
    buildCommandFrame(frame, static_cast<unsigned char>(op), static_cast<unsigned char>(dir),
                      static_cast<unsigned char>(channel), 0, value);
    return QByteArray(frame, FrameSize);
}

QString describe(const FrameReceiver::Event &e)
{
    switch (e.type) {
    case FrameReceiver::Event::Sample:
        return QStringLiteral("S%1 %2 %3")
            .arg(e.channel)
            .arg(double(e.actual))
            .arg(double(e.target));
    case FrameReceiver::Event::Command:
        return QStringLiteral("C%1/%2/%3 %4")
            .arg(e.op)
            .arg(e.dir)
            .arg(e.channel)
            .arg(double(e.value));
    case FrameReceiver::Event::HeaderError:
        return QStringLiteral("H%1").arg(e.discarded);
    case FrameReceiver::Event::TerminatorError:
        return QStringLiteral("T%1").arg(e.discarded);
    }
    return QString();
}

QStringList feedAll(FrameReceiver &receiver, const QList<QByteArray> &chunks)
{
    std::vector<FrameReceiver::Event> events;
    for (const QByteArray &chunk : chunks)
        receiver.feed(chunk, events);
    QStringList out;
    for (const FrameReceiver::Event &e : events)
        out << describe(e);
    return out;
}

using Chunks = QList<QByteArray>;
} // namespace

class TestFrameReceiver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void streams_data();
    void streams();
    void splitAnywhere_data();
    void splitAnywhere();
    void randomStream_data();
    void randomStream();
};

void TestFrameReceiver::streams_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("pending");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("discarded");
    QTest::addColumn<int>("resyncs");

    const QByteArray s0 = sample(0, 1.5f, 2.0f);
    const QByteArray s1 = sample(1, -3.0f, 4.25f);
    const QByteArray s3 = sample(3, 100.0f, 0.0f);
    const QByteArray withLf = sample(2, 1.0f, 8.625f); // 00 00 0a 41 at bytes 5..8
    const QString e0 = QStringLiteral("S0 1.5 2");
    const QString e1 = QStringLiteral("S1 -3 4.25");
    const QString e3 = QStringLiteral("S3 100 0");
    const QString eLf = QStringLiteral("S2 1 8.625");
    QByteArray badEnd = s0;
    badEnd[9] = '\x0b';
    QByteArray badKind = s0;
    badKind[0] = 'D';

    QTest::newRow("one frame") << Chunks{s0} << QStringList{e0} << 0 << 1 << 0 << 0;
    QTest::newRow("two frames, one read")
        << Chunks{s0 + s1} << QStringList{e0, e1} << 0 << 2 << 0 << 0;
    QTest::newRow("three frames and 5 bytes")
        << Chunks{s0 + s1 + s3 + s0.left(5)} << QStringList{e0, e1, e3} << 5 << 3 << 0 << 0;
    QTest::newRow("4 bytes, then 6")
        << Chunks{s0.left(4), s0.mid(4)} << QStringList{e0} << 0 << 1 << 0 << 0;
    QTest::newRow("partial frame waits") << Chunks{s1.left(9)} << QStringList{} << 9 << 0 << 0 << 0;
    QTest::newRow("empty read") << Chunks{QByteArray()} << QStringList{} << 0 << 0 << 0 << 0;
    QTest::newRow("0x0A in the first frame's value")
        << Chunks{withLf + s1} << QStringList{eLf, e1} << 0 << 2 << 0 << 0;
    QTest::newRow("0x0A in the second frame's value")
        << Chunks{s0 + withLf} << QStringList{e0, eLf} << 0 << 2 << 0 << 0;
    QTest::newRow("garbage before")
        << Chunks{"xyz" + s0} << QStringList{"H3", e0} << 0 << 1 << 3 << 1;
    QTest::newRow("garbage between")
        << Chunks{s0 + "\xff\xfe" + s1} << QStringList{e0, "H2", e1} << 0 << 2 << 2 << 1;
    QTest::newRow("garbage after")
        << Chunks{s0 + "zz"} << QStringList{e0, "H2"} << 0 << 1 << 2 << 1;
    QTest::newRow("garbage over two reads")
        << Chunks{s0 + "zz", "z" + s1} << QStringList{e0, "H2", "H1", e1} << 0 << 2 << 3 << 1;
    QTest::newRow("line end alone")
        << Chunks{"\n" + s0} << QStringList{"H1", e0} << 0 << 1 << 1 << 1;
    QTest::newRow("bad first byte")
        << Chunks{badKind + s1} << QStringList{"H10", e1} << 0 << 1 << 10 << 1;
    QTest::newRow("bad terminator")
        << Chunks{s1 + badEnd, s3} << QStringList{e1, "T10", e3} << 0 << 2 << 10 << 1;
    QTest::newRow("kind byte as noise")
        << Chunks{"C" + s0} << QStringList{"T1", e0} << 0 << 1 << 1 << 1;
    QTest::newRow("frame that lost bytes")
        << Chunks{s0.left(6) + s1 + s3} << QStringList{"T6", e1, e3} << 0 << 2 << 6 << 1;
    QTest::newRow("11 bytes without a line end")
        << Chunks{"0" + QByteArray(10, '\0')} << QStringList{"T11"} << 0 << 0 << 11 << 1;
    QTest::newRow("joined mid-frame")
        << Chunks{s0.mid(6) + s1 + s3} << QStringList{"H4", e1, e3} << 0 << 2 << 4 << 1;
    QTest::newRow("command, then samples") << Chunks{command(CmdP, 1, 0, 2.5f) + s0 + s1}
                                           << QStringList{"C1/1/0 2.5", e0, e1} << 0 << 3 << 0 << 0;
    QTest::newRow("unused operation is still a frame")
        << Chunks{command(5, 1, 3, 1.0f) + s0} << QStringList{"C5/1/3 1", e0} << 0 << 2 << 0 << 0;
    QTest::newRow("two noisy stretches")
        << Chunks{"a" + s0 + "bc" + s1} << QStringList{"H1", e0, "H2", e1} << 0 << 2 << 3 << 2;
}

void TestFrameReceiver::streams()
{
    QFETCH(Chunks, chunks);
    QFETCH(QStringList, events);
    QFETCH(int, pending);

    FrameReceiver receiver;
    QCOMPARE(feedAll(receiver, chunks), events);
    QCOMPARE(receiver.pendingBytes(), pending);
    QTEST(int(receiver.health().frames), "frames");
    QTEST(int(receiver.health().discarded), "discarded");
    QTEST(int(receiver.health().resyncs), "resyncs");
}

void TestFrameReceiver::splitAnywhere_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    // Three frames, two of them with a 0x0A inside; cut into three reads at every pair of places.
    for (int a = 0; a <= 30; ++a)
        for (int b = a; b <= 30; b += 3)
            QTest::addRow("%d,%d", a, b) << a << b;
}

void TestFrameReceiver::splitAnywhere()
{
    QFETCH(int, first);
    QFETCH(int, second);
    const QByteArray stream =
        sample(0, 8.625f, 1.0f) + command(CmdTarget, 1, 2, 8.625f) + sample(3, -2.0f, 8.625f);

    FrameReceiver receiver;
    const QStringList events = feedAll(
        receiver, {stream.left(first), stream.mid(first, second - first), stream.mid(second)});
    QCOMPARE(events, (QStringList{"S0 8.625 1", "C4/1/2 8.625", "S3 -2 8.625"}));
    QCOMPARE(receiver.pendingBytes(), 0);
}

void TestFrameReceiver::randomStream_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("anyGarbage");
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QTest::addRow("seed %u, garbage without frame kinds", seed) << seed << false;
        QTest::addRow("seed %u, any garbage", seed) << seed << true;
    }
}

// Random frames with random garbage between some of them, cut into random reads. Garbage
// that holds no kind byte costs only itself; any garbage may fake a frame and swallow the next
// one, but a frame behind a delivered frame and kind-free noise is always delivered, in order.
void TestFrameReceiver::randomStream()
{
    QFETCH(quint32, seed);
    QFETCH(bool, anyGarbage);
    QRandomGenerator rng(seed);

    constexpr int FrameCount = 3000;
    QByteArray stream;
    QStringList frames;
    QVector<bool> garbageBefore; // noise that holds a kind byte, which may fake a frame
    int garbageBytes = 0;
    int stretches = 0;
    for (int i = 0; i < FrameCount; ++i) {
        const bool noisy = rng.bounded(4) == 0;
        bool fakes = false;
        if (noisy) {
            ++stretches;
            const int length = 1 + int(rng.bounded(12));
            for (int k = 0; k < length; ++k) {
                char byte;
                do {
                    byte = char(rng.bounded(256));
                } while (!anyGarbage &&
                         FrameReceiver::isFrameKind(static_cast<unsigned char>(byte)));
                stream += byte;
                fakes = fakes || FrameReceiver::isFrameKind(static_cast<unsigned char>(byte));
            }
            garbageBytes += length;
        }
        garbageBefore << fakes;
        // Random bits, often with a 0x0A planted in the value; the index keeps frames unique.
        quint32 bits = rng.generate();
        if (rng.bounded(3) == 0)
            bits = (bits & ~(0xFFu << (8 * rng.bounded(4)))) | (0x0Au << (8 * rng.bounded(4)));
        float other;
        std::memcpy(&other, &bits, sizeof other);
        if (std::isnan(other))
            other = 0.5f;
        if (rng.bounded(5) == 0) {
            const int op = int(rng.bounded(10));
            const int dir = int(rng.bounded(2));
            const int ch = int(rng.bounded(4));
            stream += command(op, dir, ch, float(i));
            frames << QStringLiteral("C%1/%2/%3 %4").arg(op).arg(dir).arg(ch).arg(double(float(i)));
        } else {
            const int ch = int(rng.bounded(4));
            stream += sample(ch, float(i), other);
            frames << QStringLiteral("S%1 %2 %3").arg(ch).arg(double(i)).arg(double(other));
        }
    }

    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    for (int pos = 0; pos < stream.size();) {
        const int length = 1 + int(rng.bounded(rng.bounded(3) == 0 ? 300 : 16));
        receiver.feed(stream.constData() + pos, qMin(length, stream.size() - pos), events);
        pos += length;
    }

    QStringList delivered;
    int discarded = 0;
    for (const FrameReceiver::Event &e : events) {
        if (e.type == FrameReceiver::Event::Sample || e.type == FrameReceiver::Event::Command)
            delivered << describe(e);
        else
            discarded += e.discarded;
    }
    QCOMPARE(qint64(receiver.health().discarded), qint64(discarded));

    if (!anyGarbage) {
        QCOMPARE(delivered, frames);
        QCOMPARE(discarded, garbageBytes);
        QCOMPARE(int(receiver.health().resyncs), stretches);
        QCOMPARE(receiver.pendingBytes(), 0);
        return;
    }

    QHash<QString, int> indexOf;
    for (int i = 0; i < frames.size(); ++i)
        indexOf.insert(frames.at(i), i);
    QVector<bool> got(FrameCount, false);
    int last = -1;
    for (const QString &d : delivered) {
        const int i = indexOf.value(d, -1);
        if (i < 0)
            continue; // a frame faked by garbage
        QVERIFY2(i > last, qPrintable(QStringLiteral("frame %1 out of order").arg(i)));
        got[i] = true;
        last = i;
    }
    int count = 0;
    for (int i = 0; i < FrameCount; ++i) {
        if (!garbageBefore[i] && (i == 0 || got[i - 1]))
            QVERIFY2(got[i], qPrintable(QStringLiteral("frame %1 lost").arg(i)));
        count += got[i] ? 1 : 0;
    }
    QVERIFY(count > FrameCount * 9 / 10);
}

QTEST_APPLESS_MAIN(TestFrameReceiver)
#include "tst_framereceiver.moc"
