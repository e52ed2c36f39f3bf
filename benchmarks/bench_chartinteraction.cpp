// What the mouse costs on a stopped chart of 8 x 9,800 samples, all in view (--view N for
// fewer): hovering (the line and the readout follow the cursor) and a left-button pan, with the
// mouse moving 100 times a second, as the share of a core the process uses; a wheel step with
// its repaint. Also counts the series replaced while hovering, which must be none. Then a
// history of 10,000,000 samples per channel (--long N, 0 to leave it out): a double-click fit,
// a wheel step with all of it in view and an auto-fit redraw tick. CPU is the whole process's.
// --only hover|pan|wheel|long runs one of them (for a profiler).
#include "app/displaysetup.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/processstats.h"
#include "chart/chartinteraction.h"
#include "chart/pid_diagram.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

constexpr int Held = 9800;

struct Timing
{
    double medianMs = 0;
    double cpuMs = 0;
};

// Runs `move(i)` every 10 ms for `seconds`, events processed in between; the share of a core.
double busyWhileMoving(double seconds, const std::function<void(int)> &move)
{
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = ProcessStats::processCpuSeconds();
    for (int i = 0; clock.elapsed() < seconds * 1000; ++i) {
        move(i);
        QTest::qWait(10);
    }
    return (ProcessStats::processCpuSeconds() - cpuStart) / (clock.elapsed() / 1000.0) * 100;
}

// Runs `step(i)` `count` times, each followed by the repaint it causes.
Timing measure(int count, const std::function<void(int)> &step)
{
    std::vector<double> times;
    QElapsedTimer clock;
    const double cpuStart = ProcessStats::processCpuSeconds();
    for (int i = 0; i < count; ++i) {
        clock.start();
        step(i);
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double cpu = ProcessStats::processCpuSeconds() - cpuStart;
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], cpu * 1000 / count};
}

float wave(int channel, qint64 i)
{
    return float(100.0 * std::sin(double(i) * 0.01 + channel) + 10.0 * std::sin(double(i) * 0.37));
}

void send(QWidget *to, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton)
{
    QMouseEvent event(type, at, to->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

void wheelStep(QWidget *viewport, QPoint at, int i)
{
    QWheelEvent event(at, viewport->mapToGlobal(at), {}, {0, i % 2 ? -120 : 120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

struct LongTimings
{
    Timing fit;
    Timing wheel;
    Timing autoFit;
};

// A stopped chart holding `held` samples per channel at that history length.
LongTimings longHistory(quint32 held, int steps)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    PID_Diagram diagram(&view);
    ChartInteraction interaction(&diagram);
    diagram.setHistoryLength(held);
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < qint64(held); ++i) {
        for (int c = 0; c < 4; ++c) {
            diagram.append(c, wave(c, i), wave(c, i) + 1);
        }
    }
    std::printf("history of %u samples per channel filled in %.1f s\n", held,
                clock.elapsed() / 1000.0);
    diagram.showRange(0, 1000, -120, 120);
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the chart view was not exposed\n");
    QTest::qWait(100);
    QWidget *viewport = view.viewport();
    const QPoint centre = diagram.chartItem()->plotArea().center().toPoint();

    LongTimings t;
    // Each fit starts from a narrow view, as after zooming in; that zoom is not counted.
    std::vector<double> times;
    double cpu = 0;
    for (int i = 0; i < steps; ++i) {
        diagram.showRange(i * 1000.0, i * 1000.0 + 1000, -120, 120);
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        clock.start();
        const double cpuStart = ProcessStats::processCpuSeconds();
        send(viewport, QEvent::MouseButtonDblClick, centre, Qt::LeftButton);
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        cpu += ProcessStats::processCpuSeconds() - cpuStart;
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    t.fit = {times[times.size() / 2], cpu * 1000 / steps};
    if (diagram.horizontalAxis()->max() - diagram.horizontalAxis()->min() < held - 1)
        std::printf("the double-click did not fit the whole history\n");

    // All of the history in view, zooming in and out by a notch.
    t.wheel = measure(steps, [&](int i) { wheelStep(viewport, centre, i); });

    // The 自动 box: each tick follows the newest 200 and fits the vertical axis.
    diagram.autoScroll = true;
    qint64 next = held;
    t.autoFit = measure(steps, [&](int) {
        for (int k = 0; k < 3; ++k, ++next) {
            for (int c = 0; c < 4; ++c) {
                diagram.append(c, wave(c, next), wave(c, next) + 1);
            }
        }
        diagram.on_timer_updata();
    });
    return t;
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);
    const BenchOptions options(QApplication::arguments());
    const int steps = std::max(10, int(options.number("steps", 100)));
    const double seconds = std::max(0.5, options.number("seconds", 3));
    const int inView = std::clamp(int(options.number("view", Held)), 10, Held);
    const QString only = options.text("only");
    const auto wanted = [&only](const char *name) {
        return only.isEmpty() || only == QLatin1String(name);
    };
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    QChartView view;
    view.resize(1000, 600);
    view.show();
    PID_Diagram diagram(&view);
    ChartInteraction interaction(&diagram);
    for (int i = 0; i < Held; ++i) {
        for (int c = 0; c < 4; ++c) {
            const float y = float(100.0 * std::sin(i * 0.01 + c) + 10.0 * std::sin(i * 0.37));
            diagram.append(c, y, y + 1);
        }
    }
    diagram.showRange(Held - inView, Held, -120, 120);
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the chart view was not exposed\n");
    QTest::qWait(500); // antialiasing back on, as after the user stopped moving the view
    int replaced = 0;
    QObject::connect(&diagram, &PID_Diagram::shownPointsChanged, [&replaced] { ++replaced; });

    QWidget *viewport = view.viewport();
    const QRectF plot = diagram.chartItem()->plotArea();
    const auto across = [&](int i) {
        return QPoint(int(plot.left() + 20 + (i * 7) % int(plot.width() - 40)),
                      int(plot.center().y()));
    };
    const double idle = busyWhileMoving(seconds, [](int) {});
    const double hover = !wanted("hover") ? 0 : busyWhileMoving(seconds, [&](int i) {
        send(viewport, QEvent::MouseMove, across(i));
    });
    const int hoverReplaced = replaced;

    const QPoint centre = plot.center().toPoint();
    send(viewport, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    const double pan = !wanted("pan") ? 0 : busyWhileMoving(seconds, [&](int i) {
        send(viewport, QEvent::MouseMove, centre + QPoint((i % 40) - 20, 0));
    });
    send(viewport, QEvent::MouseButtonRelease, centre, Qt::LeftButton);

    const Timing wheel = !wanted("wheel")
                             ? Timing()
                             : measure(steps, [&](int i) { wheelStep(viewport, centre, i); });

    std::printf("chart interaction, 8 series x %d samples held, %d in view, stopped, %s "
                "platform\n",
                Held, inView, qPrintable(QGuiApplication::platformName()));
    std::printf("mouse still:                       %5.1f %% of a core\n", idle);
    std::printf("hovering, 100 moves/s:             %5.1f %% of a core\n", hover);
    std::printf("panning (left drag), 100 moves/s:  %5.1f %% of a core\n", pan);
    std::printf("wheel step (zoom x) with repaint:  %5.2f ms median, %.2f ms CPU\n", wheel.medianMs,
                wheel.cpuMs);
    std::printf("series replaced while hovering: %d (must be 0)\n", hoverReplaced);
    std::printf("targets: hovering at most 10 %%, panning at most 30 %% of a core with 9,800 in "
                "view\n");
    const QByteArray viewName = QByteArray::number(inView);
    if (wanted("hover"))
        printFigure(("hover_" + viewName + "_cpu_pct").constData(), hover, "%");
    if (wanted("pan"))
        printFigure(("pan_" + viewName + "_cpu_pct").constData(), pan, "%");
    if (wanted("wheel"))
        printFigure(("wheel_" + viewName + "_ms").constData(), wheel.cpuMs, "ms");

    const auto longHeld = quint32(options.number("long", 10000000));
    if (wanted("long") && longHeld > 0) {
        const LongTimings t = longHistory(longHeld, std::min(steps, 20));
        std::printf("history of %u, stopped: double-click fit %.2f ms median, %.2f ms CPU; wheel "
                    "step with all in view %.2f ms median, %.2f ms CPU; auto-fit tick %.2f ms "
                    "median, %.2f ms CPU (each with its repaint)\n",
                    longHeld, t.fit.medianMs, t.fit.cpuMs, t.wheel.medianMs, t.wheel.cpuMs,
                    t.autoFit.medianMs, t.autoFit.cpuMs);
        std::printf("targets: fit, auto-fit and wheel at most 20 ms at 10,000,000\n");
        const bool tenMillion = longHeld == 10000000;
        printFigure(tenMillion ? "fit_10m_ms" : "fit_long_ms", t.fit.cpuMs, "ms");
        printFigure(tenMillion ? "wheel_10m_ms" : "wheel_long_ms", t.wheel.cpuMs, "ms");
        printFigure(tenMillion ? "autofit_10m_ms" : "autofit_long_ms", t.autoFit.cpuMs, "ms");
    }
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return hoverReplaced == 0 ? 0 : 1;
}
