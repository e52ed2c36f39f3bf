#pragma once

#include "base/qtcompat.h"

#include <QGraphicsItem>
#include <QPointF>
#include <QRect>
#include <QVector>

#include <vector>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The chart's data lines, drawn by the chart's own item in place of Qt Charts' line items.
// A line item strokes a hit-test shape of every series at each change and paints each segment
// as its own line. This item draws each series' points over the two axes' ranges in the
// series' colour and width: while the picture moves (drawn without antialiasing) by filling
// each pixel column's run of rows once, and once it holds still by stroking the series' pen.
// The series stay in the chart, empty, for their names, colours, visibility and legend.
class TraceLayer : public QGraphicsItem
{
public:
    // A child item of `chart`, where the series lie, drawing `series` in their order.
    TraceLayer(QtCharts::QChart *chart, QtCharts::QValueAxis *horizontal,
               QtCharts::QValueAxis *vertical, std::vector<QtCharts::QLineSeries *> series);

    // What series `index` draws, in axis values; a value that is not finite breaks the line.
    // Takes the points, leaving `points` with the ones it drew before. False when they are the
    // same points, which leaves the picture as it is.
    bool replace(int index, QVector<QPointF> &points);
    QVector<QPointF> points(int index) const;
    void clear();

    // The plot area moved or the axes' ranges changed.
    void refresh();
    // A still picture is kept as drawn, so that what passes over it (the readout under the
    // mouse) repaints from the copy instead of stroking every line again; a moving one is
    // drawn straight, as it changes at every repaint anyway.
    void setStill(bool still);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    // Points per stroked polyline in a still picture.
    static constexpr int ShortRun = 32;

    // The rows a polyline in device pixels drawn `width` pixels wide covers in each pixel
    // column of `clip`, as rectangles one column wide.
    void spanColumns(const QVector<QPointF> &device, const QRect &clip, double width,
                     QVector<QRect> &out);

    QtCharts::QChart *chart;
    QtCharts::QValueAxis *axisX;
    QtCharts::QValueAxis *axisY;
    std::vector<QtCharts::QLineSeries *> lines;
    std::vector<QVector<QPointF>> drawn;
    QRectF area;
    QVector<QPointF> mapped;
    QVector<QRect> rects;
    std::vector<double> low;
    std::vector<double> high;
};
