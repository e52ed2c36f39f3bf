#include "pidlink/pidframe.h"
#include "tools/boardsim/boardprotocol.h"
#include "tools/boardsim/boardsimulator.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
QByteArray command(unsigned char op, unsigned char dir, unsigned char channel, float value = 0.0f)
{
    char frame[FrameSize];
    return QByteArray(buildCommandFrame(frame, op, dir, channel, 0, value), FrameSize);
}

BoardSimulator::Options quiet()
{
    BoardSimulator::Options o;
    o.noiseScale = 0.0;
    return o;
}

bool holdsLineFeed(float value)
{
    char bytes[4];
    putFloatLE(bytes, value);
    return QByteArray(bytes, 4).contains('\n');
}
} // namespace

class BoardProtocolTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replies_data();
    void replies();
    void runCommands_data();
    void runCommands();
    void stream_data();
    void stream();
    void lineFeedFreeValue_data();
    void lineFeedFreeValue();
};

void BoardProtocolTest::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("skipped");

    const float nan = std::numeric_limits<float>::quiet_NaN();

    QTest::newRow("read P of CH1")
        << QList<QByteArray>{command(CmdP, DirRead, 0)} << command(CmdP, DirWrite, 0, 0.6f) << 0;
    QTest::newRow("read I of CH3 answers on channel 2")
        << QList<QByteArray>{command(CmdI, DirRead, 2)} << command(CmdI, DirWrite, 2, 5.0f) << 0;
    QTest::newRow("read D of CH2")
        << QList<QByteArray>{command(CmdD, DirRead, 1)} << command(CmdD, DirWrite, 1, 0.01f) << 0;
    QTest::newRow("read target of CH4") << QList<QByteArray>{command(CmdTarget, DirRead, 3)}
                                        << command(CmdTarget, DirWrite, 3, 80.0f) << 0;
    QTest::newRow("read actual of a heater at rest")
        << QList<QByteArray>{command(CmdActual, DirRead, 2)}
        << command(CmdActual, DirWrite, 2, 25.0f) << 0;
    QTest::newRow("written P reads back")
        << QList<QByteArray>{command(CmdP, DirWrite, 1, 2.5f) + command(CmdP, DirRead, 1)}
        << command(CmdP, DirWrite, 1, 2.5f) << 0;
    QTest::newRow("a write changes only its channel")
        << QList<QByteArray>{command(CmdI, DirWrite, 1, 9.0f), command(CmdI, DirRead, 0)}
        << command(CmdI, DirWrite, 0, 6.0f) << 0;
    QTest::newRow("target holding 0x0A bytes reads back exactly")
        << QList<QByteArray>{command(CmdTarget, DirWrite, 0, 8.625f),
                             command(CmdTarget, DirRead, 0)}
        << command(CmdTarget, DirWrite, 0, 8.625f) << 0;
    QTest::newRow("any nonzero direction carries a value")
        << QList<QByteArray>{command(CmdD, 7, 3, 0.25f), command(CmdD, DirRead, 3)}
        << command(CmdD, DirWrite, 3, 0.25f) << 0;
    QTest::newRow("a value frame gets no reply")
        << QList<QByteArray>{command(CmdP, DirWrite, 0, 3.0f)} << QByteArray() << 0;
    QTest::newRow("two requests in one read, answered in order")
        << QList<QByteArray>{command(CmdP, DirRead, 0) + command(CmdTarget, DirRead, 1)}
        << command(CmdP, DirWrite, 0, 0.6f) + command(CmdTarget, DirWrite, 1, 60.0f) << 0;
    QTest::newRow("frame split over two reads")
        << QList<QByteArray>{command(CmdP, DirRead, 2).left(4), command(CmdP, DirRead, 2).mid(4)}
        << command(CmdP, DirWrite, 2, 2.0f) << 0;
    QTest::newRow("garbage before a frame is skipped")
        << QList<QByteArray>{QByteArray("\x01xy\n\x00", 5) + command(CmdP, DirRead, 0)}
        << command(CmdP, DirWrite, 0, 0.6f) << 5;
    QTest::newRow("a 'C' that starts no frame is skipped")
        << QList<QByteArray>{QByteArray("C12") + command(CmdD, DirRead, 0)}
        << command(CmdD, DirWrite, 0, 0.0f) << 3;
    QTest::newRow("joined mid-frame: the tail is skipped")
        << QList<QByteArray>{command(CmdP, DirRead, 3).mid(3), command(CmdI, DirRead, 3)}
        << command(CmdI, DirWrite, 3, 4.0f) << 7;
    QTest::newRow("frame with a broken terminator is dropped, the next one handled")
        << QList<QByteArray>{command(CmdP, DirRead, 0).replace(9, 1, "\x0B"),
                             command(CmdI, DirRead, 0)}
        << command(CmdI, DirWrite, 0, 6.0f) << 10;
    QTest::newRow("unused operations are ignored")
        << QList<QByteArray>{command(0, DirRead, 0) + command(5, DirRead, 0) +
                             command(9, DirRead, 0) + command(5, DirWrite, 0, 1.0f)}
        << QByteArray() << 0;
    QTest::newRow("the actual value cannot be written")
        << QList<QByteArray>{command(CmdActual, DirWrite, 0, 50.0f), command(CmdActual, DirRead, 0)}
        << command(CmdActual, DirWrite, 0, 0.0f) << 0;
    QTest::newRow("channel out of range is ignored")
        << QList<QByteArray>{command(CmdP, DirRead, 4), command(CmdP, DirWrite, 9, 1.0f)}
        << QByteArray() << 0;
    QTest::newRow("a value that is not a number is refused")
        << QList<QByteArray>{command(CmdP, DirWrite, 0, nan), command(CmdP, DirRead, 0)}
        << command(CmdP, DirWrite, 0, 0.6f) << 0;
}

void BoardProtocolTest::replies()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, expected);
    QFETCH(int, skipped);

    BoardSimulator board(quiet());
    BoardProtocol protocol(board);
    QByteArray out;
    for (const QByteArray &chunk : chunks)
        out += protocol.feed(chunk);
    QCOMPARE(out.toHex(' '), expected.toHex(' '));
    QCOMPARE(int(protocol.bytesSkipped()), skipped);
    QVERIFY(protocol.bytesWaiting() < FrameSize);
    QVERIFY(!board.isRunning());
}

void BoardProtocolTest::runCommands_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("running");

    QTest::newRow("start") << command(CmdStart, DirRead, 0) << true;
    QTest::newRow("start with a nonzero direction") << command(CmdStart, DirWrite, 2) << true;
    QTest::newRow("stop before any start") << command(CmdStop, DirRead, 0) << false;
    QTest::newRow("start then stop")
        << command(CmdStart, DirRead, 0) + command(CmdStop, DirRead, 0) << false;
    QTest::newRow("stop then start")
        << command(CmdStop, DirRead, 0) + command(CmdStart, DirRead, 0) << true;
    QTest::newRow("start twice") << command(CmdStart, DirRead, 0) + command(CmdStart, DirRead, 0)
                                 << true;
    QTest::newRow("start behind noise")
        << QByteArray("\xff\xfe") + command(CmdStart, DirRead, 0) << true;
}

void BoardProtocolTest::runCommands()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, running);

    BoardSimulator board(quiet());
    BoardProtocol protocol(board);
    QVERIFY(protocol.feed(bytes).isEmpty());
    QCOMPARE(board.isRunning(), running);
    // Only a running board streams.
    QCOMPARE(board.tick().isEmpty(), !running);
}

void BoardProtocolTest::stream_data()
{
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QVector<float>>("targets");

    const QVector<float> defaults{100.0f, 60.0f, 60.0f, 80.0f};
    const QByteArray start = command(CmdStart, DirRead, 0);
    QTest::newRow("binary frames") << false << start << defaults;
    QTest::newRow("text lines") << true << start << defaults;
    QTest::newRow("binary, target set before start")
        << false << command(CmdTarget, DirWrite, 2, 42.5f) + start
        << QVector<float>{100.0f, 60.0f, 42.5f, 80.0f};
    QTest::newRow("text, target set while running")
        << true << start + command(CmdTarget, DirWrite, 3, -7.25f)
        << QVector<float>{100.0f, 60.0f, 60.0f, -7.25f};
}

void BoardProtocolTest::stream()
{
    QFETCH(bool, stringMode);
    QFETCH(QByteArray, commands);
    QFETCH(QVector<float>, targets);

    BoardSimulator::Options options = quiet();
    options.stringMode = stringMode;
    BoardSimulator board(options);
    BoardProtocol protocol(board);
    protocol.feed(commands);
    QVERIFY(board.isRunning());

    for (int period = 0; period < 50; ++period) {
        const QByteArray out = board.tick();
        if (stringMode) {
            QVERIFY(out.endsWith('\n'));
            QCOMPARE(out.count('\n'), 1);
            const QList<QByteArray> fields = out.trimmed().split(',');
            QCOMPARE(fields.size(), 8);
            for (int ch = 0; ch < BoardSimulator::Channels; ++ch) {
                bool ok = false;
                fields[2 * ch].toDouble(&ok);
                QVERIFY(ok);
                QCOMPARE(fields[2 * ch + 1].toFloat(), targets[ch]);
            }
        } else {
            QCOMPARE(out.size(), FrameSize * BoardSimulator::Channels);
            for (int ch = 0; ch < BoardSimulator::Channels; ++ch) {
                const char *frame = out.constData() + ch * FrameSize;
                QCOMPARE(frame[0], char('0' + ch));
                QCOMPARE(int(static_cast<unsigned char>(frame[9])), frameEnd());
                QVERIFY(std::isfinite(sampleValue(frame, 1)));
                QCOMPARE(sampleValue(frame, 2), targets[ch]);
            }
        }
    }
    // After a stop nothing more comes.
    protocol.feed(command(CmdStop, DirRead, 0));
    QVERIFY(board.tick().isEmpty());
}

void BoardProtocolTest::lineFeedFreeValue_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<double>("tolerance"); // relative

    QTest::newRow("8.625: 0x0A in byte 2") << 8.625f << 0.005;
    QTest::newRow("0x0A in byte 0") << 100.0000763f << 1e-6;
    QTest::newRow("0x0A in bytes 0, 1 and 2") << 34.5098038f << 0.005;
    QTest::newRow("0x0A in byte 1") << 25.0048828f << 1e-4;
    QTest::newRow("negative, 0x0A in byte 2") << -8.63f << 0.005;
    QTest::newRow("tiny, 0x0A in byte 3") << 6.6e-33f << 1.0;
    QTest::newRow("no 0x0A stays as it is") << 60.0f << 0.0;
}

void BoardProtocolTest::lineFeedFreeValue()
{
    QFETCH(float, value);
    QFETCH(double, tolerance);

    const float safe = BoardSimulator::withoutLineFeedByte(value);
    QVERIFY(!holdsLineFeed(safe));
    if (!holdsLineFeed(value))
        QCOMPARE(safe, value);
    else
        QVERIFY(safe != value);
    QVERIFY2(std::fabs(double(safe) - double(value)) <= tolerance * std::fabs(double(value)),
             qPrintable(QStringLiteral("%1 became %2")
                            .arg(double(value), 0, 'g', 9)
                            .arg(double(safe), 0, 'g', 9)));
    QCOMPARE(safe < 0, value < 0);
}

QTEST_GUILESS_MAIN(BoardProtocolTest)
#include "tst_boardprotocol.moc"
