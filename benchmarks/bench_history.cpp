// The chart's history and the session files: cost of an append into the sample store and into
// the chart at the longest history, resident memory of a full history against 4 bytes a value
// and after clearing, cost of recording a sample and of capturing received bytes.
// Options: --history N (default 10000000), --record-samples N (default 2000000),
// --capture-mib N (default 64), --dir PATH for the files (default: a temporary folder).
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/processstats.h"
#include "chart/pid_diagram.h"
#include "chart/samplestore.h"
#include "datafiles/capturewriter.h"
#include "datafiles/samplerecorder.h"
#include "pidlink/pidframe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtCharts/QChartView>

#include <cmath>
#include <cstdio>

QT_CHARTS_USE_NAMESPACE

namespace {

float wave(quint64 i, int channel)
{
    return float(std::sin(double(i % 6283) * 0.001 + channel) * 100.0);
}

double nanosPer(qint64 nanos, quint64 count)
{
    return count ? double(nanos) / double(count) : 0.0;
}

void storeFigures(quint64 history)
{
    const double rssBefore = ProcessStats::residentMiB();
    SampleStore store(history);
    QElapsedTimer clock;
    clock.start();
    for (quint64 i = 0; i < history; ++i) {
        for (int c = 0; c < ChannelCount; ++c) {
            store.append(c, wave(i, c), wave(i, c) + 1);
        }
    }
    const qint64 fillNanos = clock.nsecsElapsed();
    const double rssFull = ProcessStats::residentMiB();
    // Steady state: the rings are full and drop their oldest.
    clock.restart();
    const quint64 more = std::min<quint64>(history, 2000000);
    for (quint64 i = 0; i < more; ++i) {
        for (int c = 0; c < ChannelCount; ++c) {
            store.append(c, wave(i, c), wave(i, c) + 1);
        }
    }
    const qint64 wrapNanos = clock.nsecsElapsed();
    const double values = double(history) * SampleStore::SeriesCount;
    std::printf("store, %llu samples x 4 channels (%.0f values):\n", (unsigned long long)history,
                values);
    std::printf("  append while filling   %6.2f ns per sample of a channel (actual + target)\n",
                nanosPer(fillNanos, history * 4));
    std::printf("  append when full       %6.2f ns per sample of a channel\n",
                nanosPer(wrapNanos, more * 4));
    std::printf("  store memory           %8.1f MiB, %.3f bytes per value (4 computed)\n",
                store.memoryBytes() / 1048576.0, double(store.memoryBytes()) / values);
    printFigure("history_append_ns", nanosPer(fillNanos, history * 4), "ns");
    printFigure("history_bytes_per_value", double(store.memoryBytes()) / values, "bytes");
    std::printf("  resident growth        %8.1f MiB, %.3f bytes per value\n", rssFull - rssBefore,
                (rssFull - rssBefore) * 1048576.0 / values);
    store.clear();
    std::printf("  resident after clear   %8.1f MiB (before filling %.1f MiB)\n",
                ProcessStats::residentMiB(), rssBefore);
}

void chartFigures(quint64 history)
{
    QChartView view;
    view.resize(1000, 600);
    PID_Diagram diagram(&view);
    diagram.setHistoryLength(quint32(history));
    QElapsedTimer clock;
    clock.start();
    const quint64 count = history + history / 10;
    for (quint64 i = 0; i < count; ++i) {
        for (int c = 0; c < ChannelCount; ++c) {
            diagram.append(c, wave(i, c), wave(i, c) + 1);
        }
    }
    const qint64 nanos = clock.nsecsElapsed();
    std::printf("chart at history %llu: append %.1f ns per sample of a channel (%llu samples "
                "each, the newest %u held)\n",
                (unsigned long long)history, nanosPer(nanos, count * 4), (unsigned long long)count,
                diagram.sampleCounts().at(0));
}

void recorderFigures(const QString &dir, quint64 samples)
{
    const QString path = dir + QStringLiteral("/bench-record.csv");
    SampleRecorder recorder;
    QString failure;
    QObject::connect(&recorder, &SampleRecorder::failed,
                     [&failure](const QString &reason) { failure = reason; });
    if (!recorder.start(path)) {
        std::printf("recording: cannot start: %s\n", qPrintable(recorder.errorString()));
        return;
    }
    const double cpuStart = ProcessStats::threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    ChannelSamples read; // as the link hands them on: a read's worth at a time
    for (quint64 i = 0; i < samples; ++i) {
        read.append({int(i % 4), wave(i, int(i % 4)), float(i % 100)});
        if (i % 64 == 63 || i + 1 == samples) {
            recorder.addSamples(read);
            read.clear();
        }
        // Let the flush timer fire as it would between reads from the port.
        if (i % 4096 == 4095)
            QCoreApplication::processEvents();
    }
    recorder.stop();
    const qint64 nanos = clock.nsecsElapsed();
    const double cpu = ProcessStats::threadCpuSeconds() - cpuStart;
    const qint64 size = QFileInfo(path).size();
    std::printf("recording, %llu samples to %s:\n", (unsigned long long)samples, qPrintable(path));
    std::printf("  %.1f ns per sample (wall), %.1f ns CPU, %.1f bytes per sample, %.1f MB/s%s\n",
                nanosPer(nanos, samples), cpu * 1e9 / double(samples),
                double(size) / double(samples), double(size) / (double(nanos) / 1e9) / 1e6,
                failure.isEmpty() ? "" : qPrintable(QStringLiteral(", FAILED: ") + failure));
    std::printf("  at 121,600 samples/s: %.1f %% of one core, %.1f MB/s to disk\n",
                cpu * 1e9 / double(samples) * 121600 / 1e7,
                double(size) / double(samples) * 121600 / 1e6);
    QFile::remove(path);
}

void captureFigures(const QString &dir, int mebibytes)
{
    const QString path = dir + QStringLiteral("/bench-capture.tvcap");
    CaptureWriter writer;
    if (!writer.start(path)) {
        std::printf("capture: cannot start: %s\n", qPrintable(writer.errorString()));
        return;
    }
    // What one read of a busy port returns: 41 frames and a piece.
    QByteArray chunk;
    char frame[FrameSize];
    for (int i = 0; chunk.size() < 416; ++i) {
        frame[0] = char('0' + i % 4);
        putFloatLE(frame + 1, wave(quint64(i), 0));
        putFloatLE(frame + 5, 1.0f);
        frame[9] = '\n';
        chunk.append(frame, FrameSize);
    }
    chunk.truncate(416);
    const qint64 chunks = qint64(mebibytes) * 1048576 / chunk.size();
    const double cpuStart = ProcessStats::threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < chunks; ++i) {
        writer.addBytes(chunk);
        if (i % 256 == 255)
            QCoreApplication::processEvents();
    }
    writer.stop();
    const qint64 nanos = clock.nsecsElapsed();
    const double cpu = ProcessStats::threadCpuSeconds() - cpuStart;
    const double bytes = double(chunks) * chunk.size();
    std::printf("capture, %lld reads of %d bytes: %.2f ns per byte received (wall), %.2f ns CPU, "
                "file %.3f x the bytes\n",
                (long long)chunks, int(chunk.size()), double(nanos) / bytes, cpu * 1e9 / bytes,
                double(QFileInfo(path).size()) / bytes);
    QFile::remove(path);
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QApplication app(argc, argv);
    const BenchOptions options(QApplication::arguments());
    const auto history = quint64(options.number("history", 10000000));
    const auto recordSamples = quint64(options.number("record-samples", 2000000));
    const int captureMiB = int(options.number("capture-mib", 64));
    QTemporaryDir temporary;
    const QString dir = options.text("dir", temporary.path());
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    storeFigures(history);
    chartFigures(history);
    chartFigures(PID_Diagram::SampleCap * 10);
    recorderFigures(dir, recordSamples);
    captureFigures(dir, captureMiB);
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
