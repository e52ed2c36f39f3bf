// Milliseconds per redraw (tick plus repaint) with 8 x 10,000 samples held, following the
// newest 200 samples and zoomed out to all of them, against series that hold every point.
#include "chart/pid_diagram.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <cstdio>

QT_CHARTS_USE_NAMESPACE

namespace {
constexpr int Held = 9800; // stays below the 10,000 cap while the run appends
constexpr int Ticks = 40;
constexpr int PerTick = 5;

float wave(int channel, int i)
{
    return float(100.0 * std::sin(i * 0.01 + channel) + 10.0 * std::sin(i * 0.37));
}

double ours(bool zoomedOut)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    PID_Diagram diagram(&view);
    for (int i = 0; i < Held; ++i)
        for (int c = 0; c < 4; ++c) {
            diagram.appendActual(c, wave(c, i));
            diagram.appendTarget(c, wave(c, i) + 1);
        }
    diagram.autoScroll = true;
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    qint64 tickNanos = 0;
    for (int t = 0; t < Ticks; ++t) {
        const qint64 before = clock.nsecsElapsed();
        for (int k = 0; k < PerTick; ++k)
            for (int c = 0; c < 4; ++c) {
                diagram.appendActual(c, wave(c, Held + t * PerTick + k));
                diagram.appendTarget(c, 0);
            }
        diagram.on_timer_updata();
        if (zoomedOut) {
            diagram.setHorizontalView(0, 1.0);
            diagram.refreshSeries();
        }
        tickNanos += clock.nsecsElapsed() - before;
        view.viewport()->repaint();
    }
    std::printf("  (ours, %s: tick and series update %.2f ms)\n", zoomedOut ? "all" : "follow",
                tickNanos / 1e6 / Ticks);
    return clock.nsecsElapsed() / 1e6 / Ticks;
}

double naive(bool zoomedOut, double *appendMicros)
{
    QChartView view;
    view.resize(1000, 600);
    view.show();
    auto *chart = new QChart;
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(x, Qt::AlignBottom);
    QLineSeries *series[8];
    for (int s = 0; s < 8; ++s) {
        series[s] = new QLineSeries;
        chart->addSeries(series[s]);
        series[s]->attachAxis(x);
        series[s]->attachAxis(y);
        QVector<QPointF> points;
        for (int i = 0; i < Held; ++i)
            points.append(QPointF(i, wave(s / 2, i)));
        series[s]->replace(points);
    }
    chart->setAnimationOptions(QChart::NoAnimation);
    view.setChart(chart);
    y->setRange(-120, 120);
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    qint64 appendNanos = 0;
    int appends = 0;
    for (int t = 0; t < Ticks; ++t) {
        QElapsedTimer a;
        a.start();
        for (int k = 0; k < PerTick; ++k)
            for (int s = 0; s < 8; ++s) {
                series[s]->append(QPointF(Held + t * PerTick + k, wave(s / 2, Held + t)));
                ++appends;
            }
        appendNanos += a.nsecsElapsed();
        const int n = Held + (t + 1) * PerTick;
        if (zoomedOut)
            x->setRange(0, n);
        else
            x->setRange(n - 200, n);
        view.viewport()->repaint();
    }
    if (appendMicros)
        *appendMicros = appendNanos / 1e3 / appends;
    return clock.nsecsElapsed() / 1e6 / Ticks;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    double appendMicros = 0;
    const double oursFollow = ours(false);
    const double oursAll = ours(true);
    const double naiveFollow = naive(false, &appendMicros);
    const double naiveAll = naive(true, nullptr);
    std::printf("redraw with 8 x %d samples held (tick + repaint, %s platform)\n", Held,
                qPrintable(QGuiApplication::platformName()));
    std::printf("%-28s %10s %10s %8s\n", "view", "ours ms", "naive ms", "ratio");
    std::printf("%-28s %10.2f %10.2f %7.1fx\n", "following newest 200", oursFollow, naiveFollow,
                naiveFollow / oursFollow);
    std::printf("%-28s %10.2f %10.2f %7.1fx\n", "zoomed out to all", oursAll, naiveAll,
                naiveAll / oursAll);
    std::printf("naive append into a series of %d points: %.1f us per point\n", Held, appendMicros);
    return 0;
}
