// The benchmarks' own parts: if these are wrong, every figure they print is wrong.
#include "benchmarks/latenessprobe.h"
#include "benchmarks/naivechart.h"
#include "benchmarks/pacedwriter.h"
#include "benchmarks/streamdata.h"
#include "chart/pid_diagram.h"
#include "pidlink/framereceiver.h"
#include "pidlink/pidframe.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

QT_CHARTS_USE_NAMESPACE

namespace {

using Counts = QVector<int>; // samples per channel

QByteArray readEverything(QSerialPort &port, PacedWriter &writer, qint64 expected, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < expected && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += port.readAll();
        if (!writer.isRunning())
            writer.stop();
    }
    return got;
}

} // namespace

class BenchSupportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framesDecodeToTheWave_data();
    void framesDecodeToTheWave();
    void terminalTextPiecesJoin_data();
    void terminalTextPiecesJoin();
    void writerDeliversEveryUnitInOrder_data();
    void writerDeliversEveryUnitInOrder();
    void writerNeverRunsAheadOfSchedule();
    void probeSeesABlockedLoop();
    void naiveChartMovesLikeOurs_data();
    void naiveChartMovesLikeOurs();
};

void BenchSupportTest::framesDecodeToTheWave_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("readSize");
    QTest::newRow("from 0, whole frames per read") << qint64(0) << 40 << 10;
    QTest::newRow("from 0, reads cut frames") << qint64(0) << 41 << 7;
    QTest::newRow("mid-stream, odd channel first") << qint64(4001) << 23 << 4096;
    QTest::newRow("values holding 0x0A") << qint64(123456) << 400 << 3;
}

void BenchSupportTest::framesDecodeToTheWave()
{
    QFETCH(qint64, first);
    QFETCH(int, count);
    QFETCH(int, readSize);
    QByteArray stream;
    appendChannelFrames(stream, first, count);
    QCOMPARE(stream.size(), count * FrameSize);

    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    for (int at = 0; at < stream.size(); at += readSize)
        receiver.feed(stream.constData() + at, std::min(readSize, stream.size() - at), events);
    QCOMPARE(int(events.size()), count);
    QCOMPARE(receiver.health().discarded, quint64(0));
    for (int i = 0; i < count; ++i) {
        const qint64 k = first + i;
        const FrameReceiver::Event &e = events[std::size_t(i)];
        QCOMPARE(e.type, FrameReceiver::Event::Sample);
        QCOMPARE(int(e.channel), int(k % 4));
        QCOMPARE(e.actual, sampleWave(int(k % 4), k / 4));
        QCOMPARE(e.target, sampleWave(int(k % 4), k / 4) + 1.0f);
    }
}

void BenchSupportTest::terminalTextPiecesJoin_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("piece");
    QTest::newRow("line by line") << qint64(0) << 640 << 64;
    QTest::newRow("cut inside lines") << qint64(0) << 1000 << 37;
    QTest::newRow("from inside a line") << qint64(6400031) << 500 << 1;
    QTest::newRow("one big piece") << qint64(99) << 5000 << 5000;
}

void BenchSupportTest::terminalTextPiecesJoin()
{
    QFETCH(qint64, first);
    QFETCH(int, length);
    QFETCH(int, piece);
    QByteArray whole;
    appendTerminalText(whole, first, length);
    QCOMPARE(whole.size(), length);
    QByteArray joined;
    for (int at = 0; at < length; at += piece)
        appendTerminalText(joined, first + at, std::min(piece, length - at));
    QCOMPARE(joined, whole);

    // Lines are 64 bytes ending in CR LF wherever the stream starts.
    const qint64 lineStart = (first + 63) / 64 * 64;
    QByteArray aligned;
    appendTerminalText(aligned, lineStart, 3 * 64);
    const QList<QByteArray> lines = aligned.split('\n');
    QCOMPARE(lines.size(), 4);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(lines.at(i).size(), 63);
        QVERIFY(lines.at(i).endsWith('\r'));
    }
}

void BenchSupportTest::writerDeliversEveryUnitInOrder_data()
{
    QTest::addColumn<double>("framesPerSecond");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("readerPauseMs");
    QTest::newRow("slow, reader keeps up") << 2000.0 << 0.5 << 0;
    // A pty holds some tens of kilobytes: far less than what is written during the pause.
    QTest::newRow("fast, reader away") << 200000.0 << 0.5 << 400;
}

void BenchSupportTest::writerDeliversEveryUnitInOrder()
{
    QFETCH(double, framesPerSecond);
    QFETCH(double, seconds);
    QFETCH(int, readerPauseMs);
    PacedWriter writer(FrameSize, [](QByteArray &out, qint64 first, qint64 count) {
        appendChannelFrames(out, first, count);
    });
    QString error;
    QVERIFY2(writer.open(&error), qPrintable(error));
    QSerialPort port(writer.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));

    writer.start(framesPerSecond);
    QByteArray got;
    if (readerPauseMs > 0) {
        QThread::msleep(ulong(readerPauseMs)); // the reader takes nothing: the pty fills up
        QVERIFY(writer.fullMilliseconds() > 0);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += port.readAll();
    }
    writer.requestStop();
    got += readEverything(port, writer, writer.unitsWritten() * FrameSize - got.size(), 20000);
    writer.stop();
    QVERIFY(!writer.failed());
    QVERIFY(writer.unitsWritten() > 0);

    QByteArray expected;
    appendChannelFrames(expected, 0, writer.unitsWritten());
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QCOMPARE(writer.waitingOnLine(), 0);
}

void BenchSupportTest::writerNeverRunsAheadOfSchedule()
{
    PacedWriter writer(1, [](QByteArray &out, qint64 first, qint64 count) {
        appendTerminalText(out, first, count);
    });
    QString error;
    QVERIFY2(writer.open(&error), qPrintable(error));
    QSerialPort port(writer.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    const double rate = 100000;
    writer.start(rate);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        port.readAll();
        // What it ran so far allows at most this much, plus the millisecond in flight.
        QVERIFY(writer.unitsWritten() <= rate * (clock.elapsed() + 2) / 1000.0 + 100);
    }
    writer.stop();
    QVERIFY(writer.unitsWritten() <= qint64(rate * writer.runSeconds()) + 100);
    QVERIFY(writer.unitsWritten() > 0);
}

void BenchSupportTest::probeSeesABlockedLoop()
{
    LatenessProbe probe;
    probe.start();
    QTest::qWait(30);
    QElapsedTimer block;
    block.start();
    while (block.elapsed() < 60) {
    }
    QTest::qWait(30);
    probe.stop();
    QVERIFY(probe.firings() > 2);
    QVERIFY2(probe.maxMs() >= 55, qPrintable(QString::number(probe.maxMs())));
    QVERIFY(probe.quantileMs(0.5) <= probe.quantileMs(0.99));
    QVERIFY(probe.quantileMs(0.99) <= probe.maxMs());
    QVERIFY(probe.quantileMs(0.5) < 55);
}

void BenchSupportTest::naiveChartMovesLikeOurs_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<bool>("autoScroll");
    QTest::newRow("empty") << Counts{0, 0, 0, 0} << false;
    QTest::newRow("following") << Counts{250, 250, 250, 250} << false;
    QTest::newRow("following the longest") << Counts{250, 40, 0, 0} << false;
    QTest::newRow("fitted") << Counts{300, 300, 300, 300} << true;
    QTest::newRow("fitted, short channels") << Counts{300, 20, 0, 150} << true;
    QTest::newRow("at the cap") << Counts{10000, 3, 0, 0} << true;
}

void BenchSupportTest::naiveChartMovesLikeOurs()
{
    QFETCH(Counts, counts);
    QFETCH(bool, autoScroll);
    QChartView oursView;
    PID_Diagram ours(&oursView);
    QChartView naiveView;
    NaiveChart naive(&naiveView);
    ours.autoScroll = autoScroll;
    naive.autoScroll = autoScroll;
    for (int c = 0; c < 4; ++c) {
        // The naive chart is filled in one go: 10,000 single appends would take a minute.
        QVector<QPointF> actual;
        QVector<QPointF> target;
        for (int i = 0; i < counts[c]; ++i) {
            ours.appendActual(c, sampleWave(c, i));
            ours.appendTarget(c, sampleWave(c, i) - 3);
            actual.append(QPointF(i, double(sampleWave(c, i))));
            target.append(QPointF(i + 1, double(sampleWave(c, i) - 3)));
        }
        naive.load(c, actual, target);
    }
    ours.on_timer_updata();
    naive.tick();
    QCOMPARE(naive.horizontalAxis()->min(), ours.horizontalAxis()->min());
    QCOMPARE(naive.horizontalAxis()->max(), ours.horizontalAxis()->max());
    QCOMPARE(naive.verticalAxis()->min(), ours.verticalAxis()->min());
    QCOMPARE(naive.verticalAxis()->max(), ours.verticalAxis()->max());
    const QVector<quint32> oursCounts = ours.sampleCounts();
    QCOMPARE(naive.maxCount(), *std::max_element(oursCounts.cbegin(), oursCounts.cend()));
    const bool capped = *std::max_element(counts.cbegin(), counts.cend()) >= 10000;
    for (int s = 0; s < 8; ++s)
        QCOMPARE(naive.series(s)->count(), capped ? 0 : counts[s / 2]);
}

QTEST_MAIN(BenchSupportTest)
#include "tst_benchsupport.moc"
