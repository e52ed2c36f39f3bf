// Milliseconds per redraw (tick plus repaint) with 8 x 9,800 samples held, following the
// newest 200 samples and zoomed out to all of them, against series that hold every point.
// --history N fills our chart with N samples per channel at that history length instead, to
// show that following and pausing cost the same whatever the history holds. Zoomed out is also
// measured over 1,000,000 samples per channel (--long N, 0 to leave it out).
// CPU is the whole process's, so that a renderer's or window system's threads count too.
#include "app/displaysetup.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/naivechart.h"
#include "benchmarks/processstats.h"
#include "chart/pid_diagram.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

// The chart lays itself out from posted events: measuring before they ran would measure a chart
// of its first, smaller size (and fewer points after the reduction to the plot's pixels).
void settle(QChartView &view)
{
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the chart view was not exposed\n");
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(10);
    }
}

constexpr int Held = 9800; // stays below the 10,000 cap while the ticks add samples
constexpr int PerTick = 3; // samples per channel between two ticks
constexpr int WarmUp = 3;  // first layouts and font caches are not what a run sees
// Samples per channel our chart holds before measuring; --history raises it.
quint32 ourHeld = Held;

float wave(int channel, int i)
{
    return float(100.0 * std::sin(i * 0.01 + channel) + 10.0 * std::sin(i * 0.37));
}

struct Timing
{
    double updateMs = 0; // tick and series update, mean
    double paintMs = 0;  // repaint, mean
    double medianMs = 0; // both, median tick
    double meanMs = 0;   // both, mean tick
    double cpuMs = 0;    // process CPU per tick, mean: steadier than wall time on a busy machine
    int points = 0;      // points the eight lines held at the end, what is drawn
};

int pointsDrawn(const std::function<int(int)> &count)
{
    int total = 0;
    for (int i = 0; i < 8; ++i)
        total += count(i);
    return total;
}

// Runs `ticks` ticks of: append PerTick samples per channel, `update`, paint.
enum class View {
    Follow, // a run: the tick follows the newest 200 samples
    All,    // zoomed out: the horizontal axis over every sample
    Paused, // paused at the newest 200 while samples keep arriving outside the view
};

Timing measure(QChartView &view, int ticks, const std::function<void(int)> &append,
               const std::function<void()> &update, bool viewDecides)
{
    QElapsedTimer clock;
    std::vector<double> totals;
    double updateSum = 0;
    double paintSum = 0;
    double cpuStart = 0;
    for (int t = -WarmUp; t < ticks; ++t) {
        if (t == 0)
            cpuStart = ProcessStats::processCpuSeconds();
        clock.start();
        for (int k = 0; k < PerTick; ++k)
            append(int(ourHeld) + (t + WarmUp) * PerTick + k);
        update();
        const qint64 updated = clock.nsecsElapsed();
        // Ours: the view paints what it decides needs painting, in its update mode, as in the
        // program (paused, nothing unless the chart asks). The naive chart: a full repaint.
        if (viewDecides) {
            QApplication::sendPostedEvents();
            QApplication::processEvents();
        } else {
            view.viewport()->repaint();
        }
        const qint64 painted = clock.nsecsElapsed();
        if (t < 0)
            continue;
        updateSum += updated / 1e6;
        paintSum += (painted - updated) / 1e6;
        totals.push_back(painted / 1e6);
    }
    const double cpuSeconds = ProcessStats::processCpuSeconds() - cpuStart;
    std::sort(totals.begin(), totals.end());
    Timing timing;
    timing.cpuMs = cpuSeconds * 1000 / ticks;
    timing.updateMs = updateSum / ticks;
    timing.paintMs = paintSum / ticks;
    timing.meanMs = (updateSum + paintSum) / ticks;
    timing.medianMs = totals[totals.size() / 2];
    return timing;
}

Timing ours(View mode, int ticks)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    PID_Diagram diagram(&view);
    if (ourHeld != quint32(Held))
        diagram.setHistoryLength(ourHeld);
    for (int i = 0; i < int(ourHeld); ++i)
        for (int c = 0; c < 4; ++c) {
            diagram.append(c, wave(c, i), wave(c, i) + 1);
        }
    // Auto-scroll moves both axes every tick: the costlier case.
    diagram.autoScroll = true;
    diagram.refreshSeries();
    if (mode == View::Paused)
        diagram.on_timer_updata(); // the last tick before the pause
    settle(view);
    Timing timing = measure(
        view, ticks,
        [&](int i) {
            for (int c = 0; c < 4; ++c) {
                diagram.append(c, wave(c, i), wave(c, i) + 1);
            }
        },
        [&] {
            if (mode == View::All)
                diagram.setHorizontalView(0, 1.0);
            else if (mode == View::Follow)
                diagram.on_timer_updata();
            else
                diagram.refreshSeries(); // what the 50 ms update does while paused
        },
        true);
    timing.points = pointsDrawn([&](int i) { return diagram.shownPoints(i).size(); });
    return timing;
}

Timing naive(View mode, int ticks, double *appendMicros)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    NaiveChart chart(&view);
    for (int c = 0; c < NaiveChart::ChannelCount; ++c) {
        QVector<QPointF> actual;
        QVector<QPointF> target;
        for (int i = 0; i < Held; ++i) {
            actual.append(QPointF(i, double(wave(c, i))));
            target.append(QPointF(i + 1, double(wave(c, i)) + 1));
        }
        chart.load(c, actual, target);
    }
    chart.autoScroll = true;
    if (mode == View::Paused)
        chart.tick();
    settle(view);

    QElapsedTimer appendClock;
    qint64 appendNanos = 0;
    int appends = 0;
    Timing timing = measure(
        view, ticks,
        [&](int i) {
            appendClock.start();
            for (int c = 0; c < 4; ++c) {
                chart.appendActual(c, wave(c, i));
                chart.appendTarget(c, wave(c, i) + 1);
            }
            appendNanos += appendClock.nsecsElapsed();
            appends += 8;
        },
        [&] {
            if (mode == View::All)
                chart.showAll();
            else if (mode == View::Follow)
                chart.tick();
        },
        mode == View::Paused);
    timing.points = pointsDrawn([&](int i) { return chart.series(i)->count(); });
    if (appendMicros)
        *appendMicros = appendNanos / 1e3 / appends;
    return timing;
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);
    const BenchOptions options(QApplication::arguments());
    const int ticks = std::max(1, int(options.number("ticks", 60)));
    const int naiveTicks = std::max(1, int(options.number("naive-ticks", 15)));
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    // --only follow|all|paused|ours limits the run, e.g. for a profiler.
    const QString only = options.text("only");
    const auto wanted = [&](const char *name) {
        return only.isEmpty() || only == QLatin1String("ours") || only == QLatin1String(name);
    };
    const bool withNaive = only.isEmpty();
    const auto history = quint32(options.number("history", 0));
    if (history > PID_Diagram::SampleCap)
        ourHeld = history;

    double appendMicros = 0;
    const Timing oursFollow = wanted("follow") ? ours(View::Follow, ticks) : Timing();
    const Timing oursAll = wanted("all") ? ours(View::All, ticks) : Timing();
    const Timing oursPaused = wanted("paused") ? ours(View::Paused, ticks) : Timing();
    const auto longHeld = quint32(options.number("long", 1000000));
    Timing oursAllLong;
    if (wanted("all") && ourHeld == quint32(Held) && longHeld > PID_Diagram::SampleCap) {
        ourHeld = longHeld;
        oursAllLong = ours(View::All, ticks);
        ourHeld = Held;
    }
    const Timing naiveFollow =
        withNaive ? naive(View::Follow, naiveTicks, &appendMicros) : Timing();
    const Timing naiveAll = withNaive ? naive(View::All, naiveTicks, nullptr) : Timing();
    const Timing naivePaused = withNaive ? naive(View::Paused, naiveTicks, nullptr) : Timing();
    std::printf("redraw, 8 series x %u samples held (naive: %d), tick + repaint, %s platform\n",
                ourHeld, Held, qPrintable(QGuiApplication::platformName()));
    std::printf("%-22s %9s %9s %9s %9s %7s %11s %11s %7s\n", "view", "update", "repaint", "median",
                "CPU", "points", "naive med.", "naive CPU", "ratio");
    const auto row = [](const char *name, const Timing &o, const Timing &n) {
        std::printf("%-22s %6.2f ms %6.2f ms %6.2f ms %6.2f ms %7d %8.2f ms %8.2f ms %6.1fx\n",
                    name, o.updateMs, o.paintMs, o.medianMs, o.cpuMs, o.points, n.medianMs, n.cpuMs,
                    n.medianMs / o.medianMs);
    };
    row("following newest 200", oursFollow, naiveFollow);
    row("zoomed out to all", oursAll, naiveAll);
    row("paused, samples arrive", oursPaused, naivePaused);
    if (oursAllLong.points > 0)
        std::printf("zoomed out to all of %u: %.2f ms median, %.2f ms CPU, %d points\n", longHeld,
                    oursAllLong.medianMs, oursAllLong.cpuMs, oursAllLong.points);
    std::printf("naive append into a series of %d points: %.0f us per point\n", Held, appendMicros);
    std::printf(
        "update = tick and series update, repaint = the view's synchronous repaint (means); "
        "median = both, per tick; CPU = whole-process CPU per tick\n");
    std::printf("targets: CPU per tick at most 1.5 ms following the newest 200, 6 ms zoomed out "
                "to 9,800, 12 ms zoomed out to 1,000,000\n");
    if (wanted("follow"))
        printFigure("redraw_follow_ms", oursFollow.cpuMs, "ms");
    if (wanted("all") && ourHeld == quint32(Held))
        printFigure("redraw_all_9800_ms", oursAll.cpuMs, "ms");
    if (oursAllLong.points > 0)
        printFigure(longHeld == 1000000 ? "redraw_all_1m_ms" : "redraw_all_long_ms",
                    oursAllLong.cpuMs, "ms");
    if (wanted("paused"))
        printFigure("redraw_paused_ms", oursPaused.cpuMs, "ms");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
