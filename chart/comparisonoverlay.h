#pragma once

#include "base/qtcompat.h"
#include "chart/stepanalyzer.h"

#include <QColor>
#include <QGraphicsObject>
#include <QPointF>
#include <QVector>

#include <array>
#include <functional>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The comparison with the last run: for each channel the actual values of its previous step
// window, drawn as a thin dashed line in a lighter shade of the channel's colour from the first
// sample of the channel's current window on. An item of the chart's own, painted over the plot
// area beneath the series: the chart's series and samples never hold these lines, so the
// export, the vertical fit, the legend and allPoints() do not see them.
class ComparisonOverlay : public QGraphicsObject
{
    Q_OBJECT

public:
    using Trace = StepAnalyzer::Trace;
    // Asked for every channel's trace at each refresh, e.g. the step analyzer's
    // previousWindowTrace().
    using Source = std::function<Trace(int channel)>;

    // A child item of `chart`, drawn in the plot area over the two axes' ranges, each channel
    // in a lighter shade of colours[channel].
    ComparisonOverlay(QtCharts::QChart *chart, QtCharts::QValueAxis *horizontal,
                      QtCharts::QValueAxis *vertical,
                      const std::array<QColor, ChannelCount> &colours);

    // A trace without a current window (currentFirstSample < 0: the run has ended) leaves the
    // channel's line where it is, so a finished run is still compared with the one before.
    void setSource(Source source);
    // Another look for another use (the tuning assistant's predicted response): the lines in
    // these colours, not paler, with this pen style.
    void setLineLook(Qt::PenStyle style, const std::array<QColor, ChannelCount> &colours);
    void setShown(bool shown);
    bool isShown() const { return shown; }
    // The chart was emptied and numbers start again: the traces are forgotten.
    void clear();

    // Asks the source, then chooses the points to draw for [xMin, xMax] on `columns` pixel
    // columns; a channel that is not shown has no line. True when a line changed.
    bool refresh(double xMin, double xMax, int columns,
                 const std::array<bool, ChannelCount> &channelShown);
    // What channel 0..3 draws now, in axis values.
    QVector<QPointF> points(int channel) const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

Q_SIGNALS:
    // A trace or the shown state changed: the lines need a refresh.
    void changed();

private:
    struct Line
    {
        QVector<float> actual;
        qint64 first = -1;
        QVector<QPointF> drawn;
        QColor colour;
    };

    bool adopt(int channel, const QVector<float> &actual, qint64 firstSample);
    void followPlotArea();

    QtCharts::QChart *chart;
    QtCharts::QValueAxis *axisX;
    QtCharts::QValueAxis *axisY;
    QRectF area;
    std::array<Line, ChannelCount> lines;
    Source source;
    Qt::PenStyle penStyle = Qt::DashLine;
    bool shown = false;
    QVector<QPointF> scratch;
    QVector<QPointF> mapped;
};
