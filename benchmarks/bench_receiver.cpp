// Frames per second decoded into the chart's buffers by the frame receiver (binary) and the
// line splitter (string mode), against the same decoding into series that hold everything.
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/naivechart.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"
#include "chart/pid_diagram.h"
#include "pidlink/framereceiver.h"
#include "pidlink/samplelinesplitter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cstdio>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

// What one read of a busy pseudo-terminal or USB adapter returns.
constexpr int ReadSize = 4096;
// The chart empties itself at 10,000 samples per channel; stay just below, as a run does.
constexpr quint32 Held = 9800;
// The naive series start this full: the state a run reaches after a few seconds.
constexpr int NaivePreload = 9000;

// Anything the decoder feeds: our chart or the naive one.
template <typename Chart> struct Sink
{
    Chart &chart;
    quint64 samples = 0;
    void add(int channel, float actual, float target)
    {
        chart.append(channel, actual, target);
        ++samples;
    }
};

template <typename Chart>
quint64 feedFrames(const QByteArray &stream, Sink<Chart> &sink, double budgetSeconds,
                   const std::function<void()> &capCheck)
{
    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    QElapsedTimer clock;
    clock.start();
    for (int at = 0; at < stream.size(); at += ReadSize) {
        events.clear();
        receiver.feed(stream.constData() + at, std::min(ReadSize, int(stream.size()) - at), events);
        for (const FrameReceiver::Event &e : events) {
            if (e.type == FrameReceiver::Event::Sample)
                sink.add(e.channel, e.actual, e.target);
        }
        capCheck();
        if (budgetSeconds > 0 && clock.elapsed() > budgetSeconds * 1000)
            break;
    }
    return receiver.health().frames;
}

template <typename Chart>
quint64 feedLines(const QByteArray &stream, Sink<Chart> &sink, double budgetSeconds,
                  const std::function<void()> &capCheck)
{
    SampleLineSplitter splitter;
    std::vector<SampleLineSplitter::Event> events;
    QElapsedTimer clock;
    clock.start();
    for (int at = 0; at < stream.size(); at += ReadSize) {
        events.clear();
        splitter.feed(stream.constData() + at, std::min(ReadSize, int(stream.size()) - at), events);
        for (const SampleLineSplitter::Event &e : events) {
            if (e.type != SampleLineSplitter::Event::Line)
                continue;
            for (int c = 0; c < 4; ++c)
                sink.add(c, e.values[std::size_t(2 * c)], e.values[std::size_t(2 * c + 1)]);
        }
        capCheck();
        if (budgetSeconds > 0 && clock.elapsed() > budgetSeconds * 1000)
            break;
    }
    return splitter.health().lines;
}

struct Rate
{
    double samplesPerSecond = 0;
    double unitsPerSecond = 0; // frames or lines
};

Rate ours(bool stringMode, const QByteArray &stream, int repeats)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    PID_Diagram diagram(&view);
    std::vector<double> samplesRates;
    std::vector<double> unitRates;
    for (int r = 0; r < repeats; ++r) {
        diagram.clearAll();
        Sink<PID_Diagram> sink{diagram};
        // The redraw tick empties the buffers at the cap; clearAll does the same without drawing.
        const auto cap = [&] {
            if (diagram.sampleCounts().at(0) >= Held)
                diagram.clearAll();
        };
        QElapsedTimer clock;
        clock.start();
        const quint64 units =
            stringMode ? feedLines(stream, sink, 0, cap) : feedFrames(stream, sink, 0, cap);
        const double seconds = clock.nsecsElapsed() / 1e9;
        samplesRates.push_back(sink.samples / seconds);
        unitRates.push_back(units / seconds);
    }
    std::sort(samplesRates.begin(), samplesRates.end());
    std::sort(unitRates.begin(), unitRates.end());
    return {samplesRates[samplesRates.size() / 2], unitRates[unitRates.size() / 2]};
}

Rate naive(bool stringMode, const QByteArray &stream, double budgetSeconds)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    NaiveChart chart(&view);
    for (int c = 0; c < NaiveChart::ChannelCount; ++c) {
        QVector<QPointF> actual;
        QVector<QPointF> target;
        for (int i = 0; i < NaivePreload; ++i) {
            actual.append(QPointF(i, double(sampleWave(c, i))));
            target.append(QPointF(i + 1, double(sampleWave(c, i)) + 1));
        }
        chart.load(c, actual, target);
    }
    QApplication::processEvents();
    Sink<NaiveChart> sink{chart};
    QElapsedTimer clock;
    clock.start();
    const auto none = [] {};
    const quint64 units = stringMode ? feedLines(stream, sink, budgetSeconds, none)
                                     : feedFrames(stream, sink, budgetSeconds, none);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return {sink.samples / seconds, units / seconds};
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QApplication app(argc, argv);
    const BenchOptions options(QApplication::arguments());
    const int frames = std::max(1000, int(options.number("frames", 2000000)));
    const int repeats = std::max(1, int(options.number("repeats", 5)));
    const double naiveSeconds = options.number("naive-seconds", 2);
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    QByteArray frameStream;
    appendChannelFrames(frameStream, 0, frames);
    QByteArray lineStream;
    appendSampleLines(lineStream, 0, frames / 4);

    const Rate binary = ours(false, frameStream, repeats);
    const Rate text = ours(true, lineStream, repeats);
    const Rate naiveBinary = naive(false, frameStream, naiveSeconds);
    const Rate naiveText = naive(true, lineStream, naiveSeconds);

    std::printf("receiver alone: %d frames (%.1f MB) and %d lines (%.1f MB) in %d-byte reads, "
                "median of %d runs\n",
                frames, frameStream.size() / 1e6, frames / 4, lineStream.size() / 1e6, ReadSize,
                repeats);
    std::printf("%-24s %16s %16s %9s\n", "mode", "ours samples/s", "naive samples/s", "ratio");
    std::printf("%-24s %16.0f %16.0f %8.0fx\n", "binary frames", binary.samplesPerSecond,
                naiveBinary.samplesPerSecond,
                binary.samplesPerSecond / naiveBinary.samplesPerSecond);
    std::printf("%-24s %16.0f %16.0f %8.0fx\n", "string mode (4/line)", text.samplesPerSecond,
                naiveText.samplesPerSecond, text.samplesPerSecond / naiveText.samplesPerSecond);
    std::printf("binary: %.0f frames/s (%.1f MB/s); string mode: %.0f lines/s\n",
                binary.unitsPerSecond, binary.unitsPerSecond * 10 / 1e6, text.unitsPerSecond);
    std::printf("naive: series preloaded with %d points each, %.0f s of appends\n", NaivePreload,
                naiveSeconds);
    printFigure("receiver_binary_frames_per_s", binary.unitsPerSecond, "frames/s");
    printFigure("receiver_string_lines_per_s", text.unitsPerSecond, "lines/s");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
