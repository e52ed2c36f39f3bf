#pragma once

#include "base/qtcompat.h"

#include <QPointF>
#include <QVector>

#include <array>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The chart as the plain reading of the chart model builds it, kept as the yardstick: every
// sample is appended to its line series, the series hold everything, and each redraw moves the
// axes over all of it. Drawn without OpenGL, like our chart on this platform.
class NaiveChart
{
public:
    static constexpr int SeriesCount = 8;
    static constexpr int ChannelCount = 4;
    static constexpr unsigned SampleCap = 10000;

    explicit NaiveChart(QtCharts::QChartView *view);

    void appendActual(int channel, float value);
    void appendTarget(int channel, float value);
    // As PID_Diagram takes a sample.
    void append(int channel, float actual, float target)
    {
        appendActual(channel, actual);
        appendTarget(channel, target);
    }
    // Fills a channel with one replace() per series: single appends of thousands of points
    // would take minutes.
    void load(int channel, const QVector<QPointF> &actual, const QVector<QPointF> &target);

    // The redraw tick: follow the newest 200 samples, fit the vertical axis in auto-scroll
    // mode (every fourth point), empty everything once a channel reaches the cap.
    void tick();
    // Shows every sample: the horizontal axis from 0 to the largest count.
    void showAll();

    unsigned maxCount() const;
    QtCharts::QLineSeries *series(int index) const { return lines[std::size_t(index)]; }
    QtCharts::QValueAxis *horizontalAxis() const { return axisX; }
    QtCharts::QValueAxis *verticalAxis() const { return axisY; }

    bool autoScroll = false;

private:
    QtCharts::QChart *chart = nullptr;
    QtCharts::QValueAxis *axisX = nullptr;
    QtCharts::QValueAxis *axisY = nullptr;
    std::array<QtCharts::QLineSeries *, SeriesCount> lines{};
    std::array<unsigned, ChannelCount> counts{};
    int windowWidth = 200;
};
