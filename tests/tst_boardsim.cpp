// The simulated board: its protocol handling and its control loops, then the built program,
// whose exit report must count exactly what arrived.
#include "tests/support/boardprocess.h"
#include "tests/support/testdata.h"
#include "tools/boardsim/boardprotocol.h"
#include "tools/boardsim/boardsimulator.h"
#include "tools/boardsim/byteerrorinjector.h"
#include "tools/boardsim/captureplayer.h"
#include "tools/boardsim/outputqueue.h"
#include "tools/boardsim/pidcontroller.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sys/stat.h>

class BoardSimTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void protocol_data();
    void protocol();
    void stepSettles_data();
    void stepSettles();
    void outputLimitsHold_data();
    void outputLimitsHold();
    void antiWindup_data();
    void antiWindup();
    void errorInjection_data();
    void errorInjection();
    void queueCountsWholeItems();
    void reportCountsWhatArrived();
    void replayPlaysTheCapture_data();
    void replayPlaysTheCapture();
    void replayTiming_data();
    void replayTiming();
    void replayEnds_data();
    void replayEnds();
};

void BoardSimTest::protocol_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<bool>("running");
    const auto row = [](const char *name, const QList<QByteArray> &chunks,
                        const QByteArray &expected, int skipped = 0, bool running = false) {
        QTest::newRow(name) << chunks << expected << skipped << running;
    };
    const auto read = [](int op, int ch) { return commandFrame(op, DirRead, ch); };
    const auto value = [](int op, int ch, float v) { return commandFrame(op, DirWrite, ch, v); };
    const QByteArray start = read(CmdStart, 0), stop = read(CmdStop, 0);

    row("read P of CH1", {read(CmdP, 0)}, value(CmdP, 0, 0.6f));
    row("read I of CH3 answers on channel 2", {read(CmdI, 2)}, value(CmdI, 2, 5.0f));
    row("written P reads back, in one read", {value(CmdP, 1, 2.5f) + read(CmdP, 1)},
        value(CmdP, 1, 2.5f));
    row("a write changes only its channel", {value(CmdI, 1, 9), read(CmdI, 0)}, value(CmdI, 0, 6));
    row("target holding 0x0A bytes reads back exactly",
        {value(CmdTarget, 0, 8.625f), read(CmdTarget, 0)}, value(CmdTarget, 0, 8.625f));
    row("any nonzero direction carries a value", {commandFrame(CmdD, 7, 3, 0.25f), read(CmdD, 3)},
        value(CmdD, 3, 0.25f));
    row("unused operations are ignored", {read(0, 0) + read(5, 0) + read(9, 0) + value(5, 0, 1)},
        QByteArray());
    row("the actual value cannot be written", {value(CmdActual, 0, 50), read(CmdActual, 0)},
        value(CmdActual, 0, 0));
    row("channel out of range is ignored", {read(CmdP, 4), value(CmdP, 9, 1)}, QByteArray());
    row("a value that is not a number is refused",
        {value(CmdP, 0, std::numeric_limits<float>::quiet_NaN()), read(CmdP, 0)},
        value(CmdP, 0, 0.6f));
    row("channel data frames are not the board's to take", {sampleFrame(0, 1, 2)}, QByteArray());
    // Frames are found by the program's own receiver, noise and all.
    row("start behind noise", {"\xff\xfe" + start}, QByteArray(), 2, true);
    row("start then stop", {start + stop}, QByteArray());
    row("stop then start", {stop, start}, QByteArray(), 0, true);
}

void BoardSimTest::protocol()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, expected);
    QFETCH(bool, running);
    BoardSimulator::Options options;
    options.noiseScale = 0.0;
    BoardSimulator board(options);
    BoardProtocol protocol(board);
    QByteArray out;
    for (const QByteArray &chunk : chunks)
        out += protocol.feed(chunk);
    QCOMPARE(out.toHex(' '), expected.toHex(' '));
    QTEST(int(protocol.bytesSkipped()), "skipped");
    QVERIFY(protocol.bytesWaiting() < FrameSize);
    QCOMPARE(board.isRunning(), running);
    // Only a running board streams: a frame for every channel each period.
    QCOMPARE(board.tick().size(), running ? 4 * FrameSize : 0);
}

void BoardSimTest::stepSettles_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("sampleTime");
    QTest::newRow("CH1 motor") << 0 << 0.01;
    QTest::newRow("CH3 heater at 20 samples/s") << 2 << 0.05;
}

// From start, the default gains settle on the target with some overshoot, without ringing.
void BoardSimTest::stepSettles()
{
    QFETCH(int, channel);
    QFETCH(double, sampleTime);
    BoardSimulator::Options options;
    options.sampleTime = sampleTime;
    BoardSimulator board(options);
    float target = 0.0f;
    QVERIFY(board.value(CmdTarget, channel, &target));
    const double rest = board.plant(channel).model().rest;
    board.start();
    const int periods = int(5.0 / sampleTime), tail = int(1.0 / sampleTime);
    double peak = rest, tailSum = 0.0;
    for (int k = 0; k < periods; ++k) {
        board.advance();
        float actual = 0.0f;
        board.value(CmdActual, channel, &actual);
        peak = std::max(peak, double(board.plant(channel).value()));
        if (k >= periods - tail)
            tailSum += actual;
    }
    // Noise included, the last second averages to the target.
    const double span = target - rest, mean = tailSum / tail;
    const double overshoot = 100.0 * (peak - target) / span;
    QVERIFY2(std::fabs(mean - target) < 0.01 * span, qPrintable(QString::number(mean)));
    QVERIFY2(overshoot > 3.0 && overshoot < 40.0, qPrintable(QString::number(overshoot)));
}

void BoardSimTest::outputLimitsHold_data()
{
    QTest::addColumn<QVector<double>>("limits");
    QTest::addColumn<double>("error");
    QTest::addColumn<double>("expected"); // with P alone, 2
    QTest::newRow("clamped high") << QVector<double>{-100, 100} << 80.0 << 100.0;
    QTest::newRow("heater cannot cool") << QVector<double>{0, 100} << -3.0 << 0.0;
    QTest::newRow("limits given the wrong way round") << QVector<double>{50, -50} << 70.0 << 50.0;
}

void BoardSimTest::outputLimitsHold()
{
    QFETCH(QVector<double>, limits);
    QFETCH(double, error);
    PidController pid(limits[0], limits[1]);
    pid.setGains(2.0, 0.0, 0.0);
    QTEST(pid.update(error, 0.0, 0.01), "expected");
    // A derivative kick from a measurement jump stays inside as well.
    pid.setGains(2.0, 0.0, 1000.0);
    const double out = pid.update(error, -1e6, 0.01);
    QVERIFY(out >= std::min(limits[0], limits[1]) && out <= std::max(limits[0], limits[1]));
}

void BoardSimTest::antiWindup_data()
{
    QTest::addColumn<double>("kp");
    QTest::addColumn<double>("ki");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("heater limits, large I") << 0.5 << 200.0 << 0.0 << 100.0;
    QTest::newRow("pure I") << 0.0 << 50.0 << -10.0 << 10.0;
}

void BoardSimTest::antiWindup()
{
    QFETCH(double, kp);
    QFETCH(double, ki);
    QFETCH(double, min);
    QFETCH(double, max);
    // An error the output can never remove, for a long time, in both directions.
    PidController pid(min, max);
    pid.setGains(kp, ki, 0.0);
    for (const double sign : {1.0, -1.0}) {
        const double limit = sign > 0 ? max : min;
        for (int k = 0; k < 5000; ++k) {
            pid.update(sign * 1000.0, 0.0, 0.01);
            QVERIFY(pid.integral() >= min && pid.integral() <= max);
        }
        QCOMPARE(pid.output(), limit);
        // Once the error turns the output leaves the limit within two periods: nothing was
        // wound up beyond the output range.
        pid.update(0.0, sign, 0.01);
        QVERIFY(sign * pid.update(0.0, sign, 0.01) < sign * limit);
    }
}

void BoardSimTest::errorInjection_data()
{
    QTest::addColumn<quint64>("period");
    QTest::addColumn<int>("chunk");
    QTest::newRow("one in 10, frame-sized writes") << quint64(10) << 10;
    QTest::newRow("one in 7, odd writes") << quint64(7) << 3;
}

// Exactly one corrupted byte in every block of `period`, whatever the write sizes.
void BoardSimTest::errorInjection()
{
    QFETCH(quint64, period);
    QFETCH(int, chunk);
    const int total = 20000;
    QByteArray clean(total, '\0');
    for (int i = 0; i < total; ++i)
        clean[i] = char(i * 31);
    ByteErrorInjector injector(period, 5);
    QByteArray noisy;
    for (int at = 0; at < total; at += chunk) {
        QByteArray part = clean.mid(at, chunk);
        injector.apply(part);
        noisy += part;
    }
    QCOMPARE(noisy.size(), total);
    QCOMPARE(int(injector.corrupted()), int(total / period));
    int corrupted = 0;
    QSet<quint64> offsets; // not always at the same place within frames
    for (int i = 0; i < total; ++i) {
        if (noisy[i] != clean[i]) {
            QCOMPARE(quint64(i) / period, quint64(corrupted++));
            offsets.insert(quint64(i) % period);
        }
    }
    QCOMPARE(corrupted, int(total / period));
    QVERIFY(offsets.size() > int(period) / 2);
}

// The report's counts: an item is sent once its last byte is, the rest is discarded on exit.
void BoardSimTest::queueCountsWholeItems()
{
    OutputQueue queue;
    queue.append(QByteArray(10, '0'), OutputQueue::DataFrame);
    queue.append(QByteArray(25, 'x'), OutputQueue::TextLine);
    queue.consume(9);
    QCOMPARE(queue.sent(OutputQueue::DataFrame), quint64(0));
    queue.consume(25);
    QCOMPARE(queue.sent(OutputQueue::DataFrame), quint64(1));
    QCOMPARE(queue.sent(OutputQueue::TextLine), quint64(0));
    queue.discard();
    QCOMPARE(queue.itemsDiscarded(), quint64(1));
    QCOMPARE(queue.bytesDiscarded(), quint64(1));
    QCOMPARE(queue.bytesSent(), quint64(34));
}

// Started by a command, stopped by SIGTERM: a clean exit, and every frame the board counts as
// sent arrived, whole, in channel order, and nothing more.
void BoardSimTest::reportCountsWhatArrived()
{
    BoardProcess sim(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(sim.start(words("--rate 1000")), qPrintable(sim.errorOutput()));
    QSerialPort port;
    port.setPortName(sim.devicePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QByteArray data;
    connect(&port, &QSerialPort::readyRead, this, [&] { data += port.readAll(); });
    QCOMPARE(port.write(commandFrame(CmdStart, DirRead, 0)), qint64(FrameSize));
    QTRY_VERIFY_WITH_TIMEOUT(data.size() >= 4000, 15000);
    // It waits for us to take everything before it exits.
    QVERIFY2(sim.finish(60000), qPrintable(sim.errorOutput()));
    while (port.waitForReadyRead(50))
        data += port.readAll();
    QVERIFY(sim.exitedCleanly());

    QCOMPARE(sim.report().value(QLatin1String("end")).toString(), QStringLiteral("SIGTERM"));
    QCOMPARE(sim.number("bytes"), qint64(data.size()));
    QCOMPARE(sim.number("received_frames"), qint64(1));
    QCOMPARE(sim.number("unsent_items"), qint64(0));
    QCOMPARE(sim.number("data_frames") * FrameSize, qint64(data.size()));
    const float targets[4] = {100.0f, 60.0f, 60.0f, 80.0f};
    for (int i = 0; i < data.size() / FrameSize; ++i) {
        const char *frame = data.constData() + i * FrameSize;
        QCOMPARE(frame[0], char('0' + i % 4));
        QCOMPARE(frame[9], '\n');
        QCOMPARE(sampleValue(frame, 2), targets[i % 4]);
    }
}

void BoardSimTest::replayPlaysTheCapture_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<bool>("cut");
    QTest::newRow("recorded timing") << "1" << false;
    QTest::newRow("as fast as it goes") << "max" << false;
    QTest::newRow("cut short: the whole records") << "max" << true;
}

// A capture of known frames arrives byte for byte, never ahead of its recorded timing, and the
// simulator tells whether all of it was played.
void BoardSimTest::replayPlaysTheCapture()
{
    QFETCH(QString, speed);
    QFETCH(bool, cut);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.tvcap"));
    QByteArray file = captureHeader(), expected;
    // Bursts 150 ms apart; the first comes 2 s into the capture, which the replay skips.
    const quint64 times[] = {2000000, 2150000, 2300000};
    for (int burst = 0; burst < 3; ++burst) {
        QByteArray bytes;
        for (int ch = 0; ch < 4; ++ch)
            bytes += sampleFrame(ch, float(burst) + 0.5f, float(ch));
        if (burst == 1)
            bytes += QByteArray(3000, '\x0a'); // more than one read's worth
        file += captureRecord(times[burst], bytes);
        if (!cut || burst < 2)
            expected += bytes;
    }
    if (cut)
        file.chop(1);
    QVERIFY(writeFile(path, file));

    BoardProcess sim(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(sim.start(words("--speed " + speed + " --replay " + path)),
             qPrintable(sim.errorOutput()));
    QSerialPort port;
    port.setPortName(sim.devicePath());
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    // Commands are not answered during a replay.
    port.write(commandFrame(CmdP, DirRead, 0));
    QByteArray data;
    qint64 completeAfter = -1;
    connect(&port, &QSerialPort::readyRead, this, [&] {
        data += port.readAll();
        if (completeAfter < 0 && data.size() >= expected.size())
            completeAfter = clock.elapsed();
    });
    QVERIFY2(sim.waitForExit(30000), qPrintable(sim.errorOutput()));
    while (port.waitForReadyRead(50))
        data += port.readAll();
    QCOMPARE(data.toHex(), expected.toHex());
    QCOMPARE(sim.exitCode(), cut ? 4 : 0);
    QCOMPARE(sim.number("replayed_records"), qint64(cut ? 2 : 3));
    QCOMPARE(sim.number("command_frames"), qint64(0));
    if (speed == QLatin1String("1"))
        QVERIFY2(completeAfter >= 300, qPrintable(QString::number(completeAfter)));
    const QString damage = sim.report().value(QLatin1String("replay_damage")).toString();
    QVERIFY(!cut || damage.contains(QLatin1String("ends inside record 3")));
}

namespace {
// A capture whose records hold one byte each, at these times.
QByteArray captureAt(const QList<quint64> &times)
{
    QByteArray file = captureHeader();
    for (const quint64 t : times)
        file += captureRecord(t, "x");
    return file;
}
} // namespace

void BoardSimTest::replayTiming_data()
{
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("maxGapS");
    QTest::addColumn<QList<quint64>>("times");
    QTest::addColumn<QStringList>("log");
    const quint64 far = 1000000000000; // 11.6 days
    const QString damaged = QStringLiteral("record 2 (at byte 29) is damaged");
    QTest::newRow("recorded timing, from the first record")
        << 1.0 << 0.0 << QList<quint64>{5000000, 5500000, 6000000}
        << QStringList{"due 0", "due 500000", "due 1000000"};
    QTest::newRow("twice as fast, in whole microseconds")
        << 2.0 << 0.0 << QList<quint64>{0, 3, 1000001}
        << QStringList{"due 0", "due 1", "due 500000"};
    QTest::newRow("a silence over a minute is announced")
        << 1.0 << 0.0 << QList<quint64>{0, far, far + 5}
        << QStringList{"due 0", "gap 1000000000000", "due 1000000000000", "due 1000000000005"};
    QTest::newRow("--max-gap shortens it") << 1.0 << 2.0 << QList<quint64>{0, far, far + 5}
                                           << QStringList{"due 0", "due 2000000", "due 2000005"};
    QTest::newRow("2^62 us later is damage")
        << 1.0 << 0.0 << QList<quint64>{0, quint64(1) << 62, 7} << QStringList{"due 0", damaged};
    QTest::newRow("at full speed and with --max-gap too")
        << 0.0 << 1.0 << QList<quint64>{0, quint64(1) << 62} << QStringList{"due 0", damaged};
    QTest::newRow("slowed beyond range")
        << 0.001 << 0.0 << QList<quint64>{0, quint64(1) << 51} << QStringList{"due 0", damaged};
}

// When each record is due, in whole microseconds from the start, never an overflow.
void BoardSimTest::replayTiming()
{
    QFETCH(double, speed);
    QFETCH(double, maxGapS);
    QFETCH(QList<quint64>, times);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.tvcap"));
    QVERIFY(writeFile(path, captureAt(times)));
    CapturePlayer player;
    QString error;
    QVERIFY2(player.open(path, speed, quint64(maxGapS * 1e6), &error), qPrintable(error));
    const CapturePlayer::Clock::time_point start{};
    player.start(start);
    QStringList log;
    while (!player.isFinished()) {
        log << QStringLiteral("due %1").arg(
            std::chrono::duration_cast<std::chrono::microseconds>(player.nextDue() - start)
                .count());
        player.takeNext();
        if (const quint64 gap = player.takeLongGap())
            log << QStringLiteral("gap %1").arg(gap);
    }
    if (!player.damage().isEmpty())
        log << player.damage().left(32);
    QTEST(log, "log");
}

void BoardSimTest::replayEnds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("a FIFO: refused at once") << "fifo" << 1 << "not a regular file";
    QTest::newRow("no capture: refused at once") << "csv" << 1 << "not a capture file";
    QTest::newRow("SIGTERM in an announced silence")
        << "silence" << 0 << "silent for 1000000000.0 s";
    // Damage: the cut capture above, and replayTiming for where it is said.
}

// The replay never hangs: what it cannot play it refuses, and a signal ends it at any time.
void BoardSimTest::replayEnds()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c"));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("csv"))
        QVERIFY(writeFile(path, "time_ms,channel,actual,target\n"));
    else
        QVERIFY(writeFile(path, captureAt({0, quint64(1e15)})));
    BoardProcess sim(QStringLiteral(TAVRINO_BOARDSIM));
    QElapsedTimer clock;
    clock.start();
    // What it cannot play it refuses before any line is opened.
    const bool started = sim.start(words("--replay " + path));
    QCOMPARE(started, kind == QLatin1String("silence"));
    QSerialPort port;
    if (started) {
        port.setPortName(sim.devicePath());
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        QVERIFY(port.waitForReadyRead(5000));
    }
    if (kind == QLatin1String("silence")) {
        QTRY_VERIFY_WITH_TIMEOUT(sim.errorOutput().contains(QLatin1String("silent")), 5000);
        QVERIFY(sim.finish(5000));
        QCOMPARE(sim.report().value(QLatin1String("end")).toString(), QStringLiteral("SIGTERM"));
    } else {
        sim.waitForExit(5000);
    }
    QVERIFY(!sim.isRunning());
    QVERIFY(clock.elapsed() < 8000);
    QTEST(sim.exitCode(), "exitCode");
    QFETCH(QString, said);
    QVERIFY2(sim.errorOutput().contains(said), qPrintable(sim.errorOutput()));
}

QTEST_GUILESS_MAIN(BoardSimTest)
#include "tst_boardsim.moc"
