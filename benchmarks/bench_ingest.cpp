// Live ingest: a writer thread pushes channel data frames through a real pseudo-terminal into
// the real MainWindow (port opened and run started through the widgets) at stepped rates, and
// the same through the naive chart. Per step: frames sent and received, event-loop lateness,
// CPU of the whole process (every thread but the writer's) and of the GUI thread, and resident
// memory; the highest rate held is the result. Runs on whatever platform it is given: offscreen
// or a real X display (Xvfb), where the chart's renderer choice and the window system count.
// --history N sets the window's history length and fills it first, so the steps run with the
// whole history in memory and its oldest samples dropped; --record FILE and --capture FILE
// keep a recording and a raw capture through the steps and check that the recording holds
// every frame received.
#include "app/displaysetup.h"
#include "app/mainwindow.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/latenessprobe.h"
#include "benchmarks/naivechart.h"
#include "benchmarks/pacedwriter.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "datafiles/sessionfiles.h"
#include "pidlink/framereceiver.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

// Held means: every frame arrived, none dropped, and the event loop stayed responsive.
constexpr double MaxP99Ms = 20;
constexpr double MaxLatenessMs = 50;
// The writer may end a step a fraction behind schedule (its last millisecond).
constexpr double MinSentFraction = 0.99;

struct Step
{
    double rate = 0;
    double seconds = 0;
    qint64 scheduled = 0;
    qint64 sent = 0;
    qint64 received = 0;
    quint64 discarded = 0;
    qint64 fullMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    double cpuPercent = 0; // whole process less the writer thread and the lateness probe
    double guiPercent = 0; // GUI thread alone
    double rssMiB = 0;
    bool held = false;
};

struct Counters
{
    std::function<quint64()> frames;
    std::function<quint64()> discarded;
};

// CPU of the whole process, in % of one core, over `seconds` of its event loop with nothing
// arriving; with the lateness probe running or not.
double idlePercent(double seconds, bool withProbe)
{
    LatenessProbe probe;
    const double cpuStart = ProcessStats::processCpuSeconds();
    const double wallStart = ProcessStats::monotonicSeconds();
    if (withProbe)
        probe.start();
    runEventLoopFor(int(seconds * 1000));
    probe.stop();
    return 100.0 * (ProcessStats::processCpuSeconds() - cpuStart) /
           (ProcessStats::monotonicSeconds() - wallStart);
}

Step runStep(PacedWriter &writer, double rate, double seconds, const Counters &counters,
             double probePercent)
{
    Step step;
    step.rate = rate;
    step.seconds = seconds;
    const quint64 framesBefore = counters.frames();
    const quint64 discardedBefore = counters.discarded();
    LatenessProbe probe;
    double rssMax = ProcessStats::residentMiB();
    QTimer rssTimer;
    QObject::connect(&rssTimer, &QTimer::timeout,
                     [&] { rssMax = std::max(rssMax, ProcessStats::residentMiB()); });
    rssTimer.start(500);

    const double cpuStart = ProcessStats::processCpuSeconds();
    const double guiStart = ProcessStats::threadCpuSeconds();
    const double wallStart = ProcessStats::monotonicSeconds();
    probe.start();
    writer.start(rate);
    runEventLoopFor(int(seconds * 1000));
    probe.stop();
    writer.requestStop();
    runEventLoopUntil([&] { return !writer.isRunning(); }, 15000);
    writer.stop();
    // Whatever is still in the pty or the port's buffer arrives now.
    runEventLoopUntil(
        [&] { return qint64(counters.frames() - framesBefore) >= writer.unitsWritten(); }, 5000);
    const double cpuEnd = ProcessStats::processCpuSeconds();
    const double guiEnd = ProcessStats::threadCpuSeconds();
    const double wallEnd = ProcessStats::monotonicSeconds();
    rssMax = std::max(rssMax, ProcessStats::residentMiB());

    // Due over the time the writer ran, which starts and ends a little after the step.
    step.scheduled = qint64(rate * writer.runSeconds());
    step.sent = writer.unitsWritten();
    step.received = qint64(counters.frames() - framesBefore);
    step.discarded = counters.discarded() - discardedBefore;
    step.fullMs = writer.fullMilliseconds();
    step.p99Ms = probe.quantileMs(0.99);
    step.maxMs = probe.maxMs();
    // The writer plays the board; its thread is not the program's work. Nor is the probe, which
    // wakes the GUI thread a thousand times a second.
    step.cpuPercent =
        100.0 * (cpuEnd - cpuStart - writer.cpuSeconds()) / (wallEnd - wallStart) - probePercent;
    step.guiPercent = 100.0 * (guiEnd - guiStart) / (wallEnd - wallStart);
    step.rssMiB = rssMax;
    step.held = !writer.failed() && step.sent >= MinSentFraction * step.scheduled &&
                step.received == step.sent && step.discarded == 0 && step.p99Ms <= MaxP99Ms &&
                step.maxMs <= MaxLatenessMs;
    return step;
}

void printHeader()
{
    std::printf("%10s %10s %10s %10s %6s %8s %8s %6s %6s %8s %s\n", "frames/s", "scheduled", "sent",
                "received", "full", "p99 ms", "max ms", "CPU %", "GUI %", "RSS MiB", "held");
}

void printStep(const Step &s)
{
    std::printf("%10.0f %10lld %10lld %10lld %6lld %8.2f %8.2f %6.1f %6.1f %8.1f %s\n", s.rate,
                static_cast<long long>(s.scheduled), static_cast<long long>(s.sent),
                static_cast<long long>(s.received), static_cast<long long>(s.fullMs), s.p99Ms,
                s.maxMs, s.cpuPercent, s.guiPercent, s.rssMiB, s.held ? "yes" : "NO");
    std::fflush(stdout);
}

std::vector<double> stepRates(double maxRate)
{
    // 4,000 frames/s: four channels at 1,000 samples/s each, a fast board's usual rate.
    std::vector<double> rates = {1152, 4000, 20000, 121600};
    while (rates.back() * 2 <= maxRate)
        rates.push_back(rates.back() * 2);
    return rates;
}

// `figures`: print the headline steps as FIGURE lines (ours, not the naive chart).
double runSteps(PacedWriter &writer, const std::vector<double> &rates, double seconds,
                const Counters &counters, bool keepGoing, bool figures)
{
    // What the window costs with nothing arriving, and the lateness probe's own share, which
    // the CPU column leaves out. The GUI column keeps it.
    const double idle = idlePercent(3, false);
    const double probePercent = std::max(0.0, idlePercent(3, true) - idle);
    std::printf("nothing arriving: %.1f %% CPU; the lateness probe adds %.1f %%\n", idle,
                probePercent);
    printHeader();
    double best = 0;
    bool allHeld = true;
    for (double rate : rates) {
        const Step step = runStep(writer, rate, seconds, counters, probePercent);
        printStep(step);
        if (figures && (rate == 4000 || rate == 121600)) {
            const QByteArray name = "ingest_" + QByteArray::number(rate, 'f', 0);
            printFigure((name + "_cpu_pct").constData(), step.cpuPercent, "%");
            printFigure((name + "_rss_mib").constData(), step.rssMiB, "MiB");
            printFigure((name + "_lateness_max_ms").constData(), step.maxMs, "ms");
        }
        // The highest rate held is the last of an unbroken run from the lowest.
        allHeld = allHeld && step.held;
        if (allHeld)
            best = rate;
        else if (!keepGoing)
            break;
    }
    return best;
}

// The history length, the recording and the capture the window keeps during the steps.
struct Session
{
    quint32 history = PID_Diagram::SampleCap;
    QString recordPath;
    QString capturePath;
    bool analysis = true; // off: the response analysis disconnected from the link
};

// Sets the history length in the window's box and fills every channel to it.
void fillHistory(MainWindow &window, quint32 history)
{
    auto *box = window.findChild<QComboBox *>(QStringLiteral("comboHistory"));
    const int index = box ? box->findData(history) : -1;
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        window.pidDiagram()->setHistoryLength(history);
    if (history == PID_Diagram::SampleCap)
        return;
    const double before = ProcessStats::residentMiB();
    QElapsedTimer clock;
    clock.start();
    PID_Diagram *diagram = window.pidDiagram();
    for (quint32 i = 0; i < history; ++i) {
        for (int ch = 0; ch < ChannelCount; ++ch) {
            diagram->append(ch, float(i % 1000), float(ch));
        }
    }
    runEventLoopFor(200);
    const double computed = double(history) * PID_Diagram::SeriesCount * 4 / 1048576.0;
    std::printf("history %u per channel, filled in %.1f s: resident %.1f -> %.1f MiB (+%.1f; "
                "%.1f MiB computed at 4 bytes a value), store %.1f MiB\n",
                history, clock.elapsed() / 1000.0, before, ProcessStats::residentMiB(),
                ProcessStats::residentMiB() - before, computed,
                diagram->samples().memoryBytes() / 1048576.0);
}

double ours(const std::vector<double> &rates, double seconds, bool keepGoing,
            const Session &session)
{
    PacedWriter writer(FrameSize, [](QByteArray &out, qint64 first, qint64 count) {
        appendChannelFrames(out, first, count);
    });
    QString error;
    if (!writer.open(&error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 0;
    }
    MainWindow window;
    // The stream's target moves at every sample, so every sample ends a step window: the
    // analysis' dearest case. Without it, the difference is what it costs.
    if (!session.analysis)
        QObject::disconnect(window.pidDiagram(), nullptr, window.responseAnalysis(), nullptr);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("the window was not exposed\n");
    auto *port = window.findChild<QComboBox *>(QStringLiteral("comboPortPID"));
    auto *open = window.findChild<QPushButton *>(QStringLiteral("buttonOpenportPID"));
    auto *start = window.findChild<QPushButton *>(QStringLiteral("buttonStart"));
    port->clearEditText();
    QTest::keyClicks(port, writer.slavePath());
    QTest::mouseClick(open, Qt::LeftButton);
    if (!window.serialPort()->isOpen()) {
        std::printf("the window did not open %s: %s\n", qPrintable(writer.slavePath()),
                    qPrintable(window.statusBar()->currentMessage()));
        return 0;
    }
    QTest::mouseClick(start, Qt::LeftButton);
    std::printf("window: port %s open, run %s\n", qPrintable(writer.slavePath()),
                qPrintable(start->text() == QStringLiteral("停止") ? QStringLiteral("active")
                                                                   : QStringLiteral("NOT active")));

    fillHistory(window, session.history);
    SessionFiles *files = window.sessionFiles();
    const TimedWriter &recording = files->writer(SessionFiles::Recording);
    const TimedWriter &capture = files->writer(SessionFiles::Capture);
    if (!session.recordPath.isEmpty() && !files->start(SessionFiles::Recording, session.recordPath))
        std::printf("cannot record: %s\n", qPrintable(recording.errorString()));
    if (!session.capturePath.isEmpty() && !files->start(SessionFiles::Capture, session.capturePath))
        std::printf("cannot capture: %s\n", qPrintable(capture.errorString()));
    const quint64 framesBefore = window.pidFrameHealth().frames;

    std::printf("\nours: MainWindow, redraw 20 per second, history %u%s%s, response analysis %s\n",
                session.history, recording.isWriting() ? ", recording" : "",
                capture.isWriting() ? ", capturing" : "", session.analysis ? "on" : "off");
    const Counters counters{[&] { return quint64(window.pidFrameHealth().frames); },
                            [&] { return quint64(window.pidFrameHealth().discarded); }};
    const double best = runSteps(writer, rates, seconds, counters, keepGoing, true);
    QTest::mouseClick(open, Qt::LeftButton);
    const quint64 frames = window.pidFrameHealth().frames - framesBefore;
    if (recording.isWriting()) {
        files->stop(SessionFiles::Recording);
        const quint64 recorded = recording.itemCount();
        const qint64 size = QFileInfo(session.recordPath).size();
        std::printf("recording: %llu of %llu frames received (%s), %.1f MB, %.1f bytes a sample\n",
                    (unsigned long long)recorded, (unsigned long long)frames,
                    recorded == frames ? "all" : "NOT all", size / 1e6,
                    recorded ? double(size) / double(recorded) : 0.0);
    }
    if (capture.isWriting()) {
        files->stop(SessionFiles::Capture);
        std::printf("capture: %lld bytes received, file %.1f MB\n", (long long)capture.itemCount(),
                    QFileInfo(session.capturePath).size() / 1e6);
    }
    return best;
}

// The receive path of the window feeding the naive chart instead, with the same tick.
double naive(const std::vector<double> &rates, double seconds, bool keepGoing)
{
    PacedWriter writer(FrameSize, [](QByteArray &out, qint64 first, qint64 count) {
        appendChannelFrames(out, first, count);
    });
    QString error;
    if (!writer.open(&error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 0;
    }
    QChartView view;
    view.resize(800, 500);
    view.show();
    NaiveChart chart(&view);
    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    QSerialPort port(writer.slavePath());
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("cannot open %s\n", qPrintable(writer.slavePath()));
        return 0;
    }
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        const QByteArray bytes = port.readAll();
        events.clear();
        receiver.feed(bytes, events);
        for (const FrameReceiver::Event &e : events) {
            if (e.type != FrameReceiver::Event::Sample)
                continue;
            chart.appendActual(e.channel, e.actual);
            chart.appendTarget(e.channel, e.target);
        }
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { chart.tick(); });
    tick.start(50);

    std::printf("\nnaive: series that hold everything, one append per sample\n");
    const Counters counters{[&] { return quint64(receiver.health().frames); },
                            [&] { return quint64(receiver.health().discarded); }};
    return runSteps(writer, rates, seconds, counters, keepGoing, false);
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    // As main() does: the same scaling and the same chance to keep OpenGL out.
    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const BenchOptions options(QApplication::arguments());
    // Nine steps of 10 s and the naive chart's short ones stay under three minutes.
    const double seconds = std::max(0.5, options.number("seconds", 10));
    const double naiveSeconds = std::max(0.5, options.number("naive-seconds", 5));
    const double maxRate = options.number("max-rate", 121600 * 32);
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));
    std::printf(
        "live ingest through a pseudo-terminal, %s platform, %.0f s per step; held = all "
        "frames received, none dropped, lateness p99 <= %.0f ms and max <= %.0f ms; CPU = "
        "whole process less the writer thread and the lateness probe, GUI = GUI thread, in %% "
        "of one core\n",
        qPrintable(QGuiApplication::platformName()), seconds, MaxP99Ms, MaxLatenessMs);

    const std::vector<double> rates = stepRates(maxRate);
    // --all-steps: every step's figures even past the first one not held.
    const bool keepGoing = options.flag("all-steps");
    Session session;
    session.history = quint32(options.number("history", PID_Diagram::SampleCap));
    session.recordPath = options.text("record");
    session.capturePath = options.text("capture");
    // --without-analysis: the response analysis disconnected from the link.
    session.analysis = !options.flag("without-analysis");
    const double best = ours(rates, seconds, keepGoing, session);
    const double bestNaive = options.flag("no-naive") ? 0 : naive(rates, naiveSeconds, keepGoing);

    std::printf("\nhighest rate held: ours %.0f frames/s, naive %.0f frames/s (%.0f s steps)\n",
                best, bestNaive, naiveSeconds);
    std::printf("targets: at least 121600 frames/s held; at 4000 frames/s at most 12 %% CPU and "
                "60 MiB; at 121600 frames/s at most 30 %% CPU\n");
    printFigure("ingest_max_rate_frames_per_s", best, "frames/s");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
