// What the step-response analysis adds to the live ingest: its cost per sample over four
// channels answering a tuner's steps, with arrival times, the chart's reset at its cap and a
// table read at every redraw, against decoding and appending the same samples to the chart.
// Then the window's whole ingest (link, chart, analysis with its table and run history) with
// the analysis connected and not, for those steps and for a target that moves at every
// sample, where every sample ends a step window and adds a history row.
#include "app/mainwindow.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "chart/stepanalyzer.h"
#include "pidlink/framereceiver.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

// The rate the live ingest is held to, and what one read of the port brings at that rate.
constexpr double FramesPerSecond = 121600;
constexpr int ReadSize = 4096;
constexpr int FramesPerRead = ReadSize / FrameSize;
// The redraw reads the figures 20 times a second; the chart empties itself at its cap.
constexpr int SamplesPerRedraw = int(FramesPerSecond / 20);
constexpr qint64 Held = 9800;

struct Sample
{
    float actual;
    float target;
    qint64 ns; // arrival time of the read that brought it
};

// Frame k carries channel k % 4. Each channel steps to a new target every few thousand of its
// samples and follows it as a damped second-order loop with a little noise.
std::vector<Sample> makeSamples(qint64 count)
{
    std::vector<Sample> out(std::size_t(count), Sample{});
    quint32 noise = 12345;
    const auto uniform = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return double(noise >> 8) / double(1u << 24);
    };
    double y[4] = {0, 0, 0, 0};
    double v[4] = {0, 0, 0, 0};
    double target[4] = {0, 0, 0, 0};
    qint64 nextStep[4] = {0, 0, 0, 0};
    const double damping[4] = {0.15, 0.3, 0.6, 0.9};
    const double omega = 0.02;
    for (qint64 k = 0; k < count; ++k) {
        const int c = int(k % 4);
        const qint64 n = k / 4;
        if (n >= nextStep[c]) {
            target[c] = std::round((uniform() - 0.5) * 2000);
            nextStep[c] = n + 3000 + qint64(uniform() * 6000);
        }
        v[c] += omega * omega * (target[c] - y[c]) - 2 * damping[c] * omega * v[c];
        y[c] += v[c];
        const double read = double(k / FramesPerRead) * FramesPerRead;
        out[std::size_t(k)] = {float(y[c] + (uniform() - 0.5) * 2), float(target[c]),
                               qint64(read * 1e9 / FramesPerSecond)};
    }
    return out;
}

struct Cost
{
    double wallNs = 0; // per sample
    double cpuNs = 0;
    quint64 rows = 0;
    int textLength = 0;
};

// The analyzer alone, fed as the window will feed it: sample by sample, with the finished
// windows taken and the chart's cap checked after every read, the table read at every redraw.
Cost analyze(const std::vector<Sample> &samples, qint64 total)
{
    StepAnalyzer analyzer;
    analyzer.beginRun();
    Cost cost;
    const std::size_t block = samples.size();
    const qint64 blockNs = samples.back().ns + qint64(FramesPerRead * 1e9 / FramesPerSecond);
    qint64 offsetNs = 0;
    qint64 done = 0;
    qint64 clearedAt = 0; // numbers restart where the chart last emptied itself
    int sinceRedraw = 0;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = ProcessStats::threadCpuSeconds();
    while (done < total) {
        for (std::size_t at = 0; at < block && done < total; at += FramesPerRead) {
            const std::size_t end =
                std::min({block, at + FramesPerRead, at + std::size_t(total - done)});
            for (std::size_t i = at; i < end; ++i) {
                const Sample &s = samples[i];
                analyzer.addSample(int(i & 3), (done + qint64(i - at)) / 4 - clearedAt, s.actual,
                                   s.target, s.ns + offsetNs);
            }
            done += qint64(end - at);
            cost.rows += analyzer.takeFinishedWindows().size();
            if (done / 4 - clearedAt >= Held) {
                analyzer.finishWindows();
                analyzer.clear();
                analyzer.beginRun();
                clearedAt = done / 4;
            }
            sinceRedraw += int(end - at);
            if (sinceRedraw >= SamplesPerRedraw) {
                sinceRedraw -= SamplesPerRedraw;
                for (int c = 0; c < ChannelCount; ++c)
                    cost.textLength +=
                        StepAnalyzer::cellTexts(analyzer.figures(c)).join(' ').size();
            }
        }
        offsetNs += blockNs;
    }
    cost.cpuNs = (ProcessStats::threadCpuSeconds() - cpu0) * 1e9 / double(total);
    cost.wallNs = double(clock.nsecsElapsed()) / double(total);
    return cost;
}

QByteArray framesOf(const std::vector<Sample> &samples, qint64 count)
{
    QByteArray stream;
    stream.resize(int(count) * FrameSize);
    for (qint64 k = 0; k < count; ++k) {
        char *frame = stream.data() + k * FrameSize;
        frame[0] = char('0' + k % 4);
        putFloatLE(frame + 1, samples[std::size_t(k)].actual);
        putFloatLE(frame + 5, samples[std::size_t(k)].target);
        frame[9] = char(frameEnd());
    }
    return stream;
}

// The window's ingest, read by read, without the redraw: the link decodes, the chart appends
// (emptying itself at its cap) and, when connected, the analysis follows, its table and run
// history refreshed as often as the chart redraws. Thread CPU per frame.
double windowIngest(const QByteArray &stream, bool analysis)
{
    MainWindow window;
    if (!analysis)
        QObject::disconnect(window.pidDiagram(), nullptr, window.responseAnalysis(), nullptr);
    int sinceRedraw = 0;
    const double cpu0 = ProcessStats::threadCpuSeconds();
    for (int at = 0; at < stream.size(); at += ReadSize) {
        const int size = std::min(ReadSize, int(stream.size()) - at);
        window.pidLink()->feed(QByteArray::fromRawData(stream.constData() + at, size));
        sinceRedraw += size / FrameSize;
        if (sinceRedraw >= SamplesPerRedraw) {
            sinceRedraw -= SamplesPerRedraw;
            window.responseAnalysis()->refresh();
        }
    }
    return (ProcessStats::threadCpuSeconds() - cpu0) * 1e9 / double(stream.size() / FrameSize);
}

// Decoding the same samples from frames and appending them to the chart: the ingest's own
// work per sample, without the redraw.
double ingest(const std::vector<Sample> &samples, qint64 count)
{
    const QByteArray stream = framesOf(samples, count);
    QChartView view;
    view.resize(1000, 600);
    PID_Diagram diagram(&view);
    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    const double cpu0 = ProcessStats::threadCpuSeconds();
    for (int at = 0; at < stream.size(); at += ReadSize) {
        events.clear();
        receiver.feed(stream.constData() + at, std::min(ReadSize, int(stream.size()) - at), events);
        for (const FrameReceiver::Event &e : events) {
            diagram.append(e.channel, e.actual, e.target);
        }
        if (diagram.sampleCounts().at(0) >= Held)
            diagram.clearAll();
    }
    return (ProcessStats::threadCpuSeconds() - cpu0) * 1e9 / double(count);
}

// Memory under a steady target: a step, then `perChannel` samples of noise around it on each
// channel, the figures read every 6080 samples as the redraw would, as the window sees it at
// any history length. Resident size after 100,000 samples and at the end, and after clear().
void steadySoak(qint64 perChannel)
{
    StepAnalyzer analyzer;
    analyzer.beginRun();
    quint32 noise = 99;
    const auto uniform = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return float(noise >> 8) / float(1u << 24) - 0.5f;
    };
    const double before = ProcessStats::residentMiB();
    double early = 0;
    for (qint64 k = 0; k < perChannel; ++k) {
        for (int c = 0; c < ChannelCount; ++c)
            analyzer.addSample(c, k, k == 0 ? 0 : 100 + uniform(), 100);
        if (k % (SamplesPerRedraw / 4) == 0) {
            for (int c = 0; c < ChannelCount; ++c)
                analyzer.figures(c);
        }
        if (k == 100000)
            early = ProcessStats::residentMiB();
    }
    const double end = ProcessStats::residentMiB();
    const std::size_t rows = analyzer.takeFinishedWindows().size();
    analyzer.clear();
    std::printf("steady target, %lld samples per channel: resident %.1f MiB before, %.1f after "
                "100000, %.1f at the end (%zu window(s) ended at %d samples), %.1f after clear\n",
                static_cast<long long>(perChannel), before, early, end, rows,
                StepAnalyzer::MaxWindowSamples, ProcessStats::residentMiB());
    std::printf("FIGURE step_analysis_steady_growth %.2f MiB\n", end - early);
}

template <typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QApplication app(argc, argv);
    const BenchOptions options(QApplication::arguments());
    const qint64 total = std::max<qint64>(1000, qint64(options.number("samples", 10000000)));
    const int repeats = std::max(1, int(options.number("repeats", 5)));
    const qint64 block = std::min<qint64>(total, 1000000) / 4 * 4; // whole rounds of 4 channels
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    const std::vector<Sample> samples = makeSamples(block);
    std::vector<double> wall;
    std::vector<double> cpu;
    Cost last;
    for (int r = 0; r < repeats; ++r) {
        last = analyze(samples, total);
        wall.push_back(last.wallNs);
        cpu.push_back(last.cpuNs);
    }
    std::vector<double> base;
    for (int r = 0; r < repeats; ++r)
        base.push_back(ingest(samples, block));

    const double cpuNs = median(cpu);
    const double ingestNs = median(base);
    std::printf("step analysis: %lld samples over 4 channels (a %lld-sample run replayed), "
                "a step every 3000-9000 samples per channel, median of %d runs\n",
                static_cast<long long>(total), static_cast<long long>(block), repeats);
    std::printf("  %.1f ns/sample wall, %.1f ns/sample thread CPU: %.1f M samples/s\n",
                median(wall), cpuNs, 1e3 / cpuNs);
    std::printf("  %llu finished step windows per run, figures read %d times a second\n",
                static_cast<unsigned long long>(last.rows), 20);
    std::printf("ingest without redraw (frame receiver + chart append): %.1f ns/sample CPU\n",
                ingestNs);
    std::printf("at %.0f frames/s: analysis %.2f %% of a core, %.1f %% on top of decode+append\n",
                FramesPerSecond, cpuNs * FramesPerSecond / 1e7, 100 * cpuNs / ingestNs);
    printFigure("step_analysis_ns_per_sample", cpuNs, "ns");

    // Connected and not, alternately, so that a change in the machine's load hits both alike.
    QByteArray moving;
    appendChannelFrames(moving, 0, block);
    const struct
    {
        const char *name;
        QByteArray stream;
    } streams[] = {{"the tuner's steps above", framesOf(samples, block)},
                   {"a target moving at every sample (bench_ingest's stream)", moving}};
    std::printf("the window's ingest without redraw, %lld frames per run, median of %d runs:\n",
                static_cast<long long>(block), repeats);
    for (const auto &stream : streams) {
        std::vector<double> with;
        std::vector<double> without;
        for (int r = 0; r < repeats; ++r) {
            with.push_back(windowIngest(stream.stream, true));
            without.push_back(windowIngest(stream.stream, false));
        }
        const double on = median(with);
        const double off = median(without);
        std::printf("  %s: %.1f ns/frame with the analysis, %.1f without: +%.1f %%, %.2f %% of a "
                    "core at %.0f frames/s\n",
                    stream.name, on, off, 100 * (on - off) / off,
                    (on - off) * FramesPerSecond / 1e7, FramesPerSecond);
    }
    steadySoak(std::max<qint64>(200000, qint64(options.number("steady", 10000000))));
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return last.textLength > 0 ? 0 : 1;
}
