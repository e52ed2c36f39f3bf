// What the mouse costs on a stopped chart of 8 x 9,800 samples, 1,000 of them in view (--view N):
// hovering (the line and the readout follow the cursor) and a left-button pan, with the mouse
// moving 100 times a second, as the share of a core the process uses; a wheel step with its
// repaint. Also counts the series replaced while hovering, which must be none. CPU is the whole
// process's. --only hover|pan|wheel runs one of them (for a profiler).
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

void send(QWidget *to, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton)
{
    QMouseEvent event(type, at, to->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
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
    const int inView = std::clamp(int(options.number("view", 1000)), 10, Held);
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
            diagram.appendActual(c, y);
            diagram.appendTarget(c, y + 1);
        }
    }
    diagram.showRange(Held - inView, Held, -120, 120);
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the chart view was not exposed\n");
    QTest::qWait(500); // antialiasing back on, as after the user stopped moving the view
    int replaced = 0;
    for (int i = 0; i < PID_Diagram::SeriesCount; ++i)
        QObject::connect(diagram.series(i), &QLineSeries::pointsReplaced,
                         [&replaced] { ++replaced; });

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

    const Timing wheel = !wanted("wheel") ? Timing() : measure(steps, [&](int i) {
        QWheelEvent event(centre, viewport->mapToGlobal(centre), {}, {0, i % 2 ? -120 : 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    });

    std::printf("chart interaction, 8 series x %d samples held, %d in view, stopped, %s "
                "platform\n",
                Held, inView, qPrintable(QGuiApplication::platformName()));
    std::printf("mouse still:                       %5.1f %% of a core\n", idle);
    std::printf("hovering, 100 moves/s:             %5.1f %% of a core\n", hover);
    std::printf("panning (left drag), 100 moves/s:  %5.1f %% of a core\n", pan);
    std::printf("wheel step (zoom x) with repaint:  %5.2f ms median, %.2f ms CPU\n", wheel.medianMs,
                wheel.cpuMs);
    std::printf("series replaced while hovering: %d (must be 0)\n", hoverReplaced);
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return hoverReplaced == 0 ? 0 : 1;
}
