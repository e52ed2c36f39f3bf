#pragma once

#include "base/qtcompat.h"

#include <QGraphicsItem>
#include <QImage>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The chart's grid, in place of the axes' own grid lines: the same lines at the same ticks in
// the same pens, aliased on whole device pixels, drawn once with the plot's background into an
// opaque picture of device pixels that every repaint copies. The axes' own grid is some two
// hundred line items, each stroked and measured again at every repaint; a picture with
// transparency would be blended pixel by pixel, and drawing the dashed lines afresh costs
// more than copying them.
class PlotGrid : public QGraphicsItem
{
public:
    // Follows the plot area of `chart` and the tick counts and grid pens of the two axes.
    // Hides the axes' own grid lines. Becomes a child item of the chart.
    PlotGrid(QtCharts::QChart *chart, QtCharts::QValueAxis *horizontal,
             QtCharts::QValueAxis *vertical);

    // The plot area or a tick count changed.
    void refresh();

    // From a painter's item coordinates to the pixels of the widget it paints, and the world
    // transform under which it draws in those pixels.
    static QTransform toPixels(const QPainter *painter);
    static QTransform devicePixels(const QPainter *painter);

    // Where Qt Charts puts the ticks of a value axis with fixed ticks: `count` evenly over
    // the length, or `minor` evenly between each two neighbours.
    static QVector<double> tickPositions(double start, double length, int count, int minor,
                                         bool major);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QtCharts::QChart *chart;
    QtCharts::QValueAxis *axisX;
    QtCharts::QValueAxis *axisY;
    static double pixelRatio(const QPainter *painter);
    void render(const QTransform &toDevice, const QRect &device);

    QRectF area;
    QImage picture; // device pixels of boundingRect(), background and lines
    bool stale = true;
};
