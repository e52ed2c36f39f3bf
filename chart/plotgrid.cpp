#include "chart/plotgrid.h"

#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

#include <cmath>

QT_CHARTS_USE_NAMESPACE

QVector<double> PlotGrid::tickPositions(double start, double length, int count, int minor,
                                        bool major)
{
    QVector<double> at;
    if (count < 2)
        return at;
    const double step = length / (count - 1);
    for (int i = 0; i < count; ++i) {
        if (major) {
            at.append(start + i * step);
            continue;
        }
        for (int k = 1; i + 1 < count && k <= minor; ++k)
            at.append(start + i * step + k * step / (minor + 1));
    }
    return at;
}

double PlotGrid::pixelRatio(const QPainter *painter)
{
    return painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
}

QTransform PlotGrid::toPixels(const QPainter *painter)
{
    // The painter scales by the device's pixel ratio beneath any world transform, and moves
    // by where the widget lies in its window beneath that: pixels of the widget, not the
    // window's (deviceTransform() holds both).
    const double ratio = pixelRatio(painter);
    return painter->worldTransform() * QTransform::fromScale(ratio, ratio);
}

QTransform PlotGrid::devicePixels(const QPainter *painter)
{
    const double ratio = pixelRatio(painter);
    return QTransform::fromScale(1 / ratio, 1 / ratio);
}

PlotGrid::PlotGrid(QChart *owner, QValueAxis *horizontal, QValueAxis *vertical)
    : QGraphicsItem(owner), chart(owner), axisX(horizontal), axisY(vertical)
{
    for (QValueAxis *axis : {axisX, axisY}) {
        axis->setGridLineVisible(false);
        axis->setMinorGridLineVisible(false);
    }
    // Above the chart's background, below its axes and series, as the axes' grid lies.
    setZValue(2);
    setFlag(ItemIgnoresParentOpacity);
    refresh();
}

void PlotGrid::refresh()
{
    const QRectF now = chart->plotArea();
    if (now != area) {
        prepareGeometryChange();
        area = now;
    }
    stale = true;
    update();
}

QRectF PlotGrid::boundingRect() const
{
    // A line on the right or bottom edge lies on the pixel just inside it, or just outside.
    return area.adjusted(-1, -1, 1, 1);
}

void PlotGrid::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (area.isEmpty())
        return;
    const QTransform toDevice = toPixels(painter);
    const QRect device = toDevice.mapRect(boundingRect()).toAlignedRect();
    if (stale || picture.size() != device.size() || picture.offset() != device.topLeft()) {
        render(toDevice, device);
        stale = false;
    }
    // Whole device pixels, not scaled again: a plain copy.
    painter->save();
    painter->setWorldTransform(devicePixels(painter));
    painter->drawImage(device.topLeft(), picture);
    painter->restore();
}

void PlotGrid::render(const QTransform &toDevice, const QRect &device)
{
    // Without an alpha channel, so that the copy is a plain copy and not a blend that tests
    // each pixel for transparency.
    picture = QImage(device.size(), QImage::Format_RGB32);
    picture.setOffset(device.topLeft());
    picture.fill(chart->backgroundBrush().color());
    QPainter painter(&picture);
    painter.translate(-device.left(), -device.top());
    const QRectF plot = toDevice.mapRect(area);
    const auto deviceX = [&](double x) {
        return std::floor(toDevice.map(QPointF(x, 0)).x()) + 0.5;
    };
    const auto deviceY = [&](double y) {
        return std::floor(toDevice.map(QPointF(0, y)).y()) + 0.5;
    };
    const auto drawLines = [&](const QPen &pen, const QVector<double> &xs,
                               const QVector<double> &ys) {
        QPen line = pen;
        line.setCosmetic(true);
        line.setWidth(0);
        painter.setPen(line);
        for (double x : xs)
            painter.drawLine(QLineF(deviceX(x), plot.top(), deviceX(x), plot.bottom()));
        for (double y : ys)
            painter.drawLine(QLineF(plot.left(), deviceY(y), plot.right(), deviceY(y)));
    };
    const int countX = axisX->tickCount();
    const int countY = axisY->tickCount();
    // Minor lines first, so the major ones win where they meet.
    drawLines(axisX->minorGridLinePen(),
              tickPositions(area.left(), area.width(), countX, axisX->minorTickCount(), false), {});
    drawLines(axisY->minorGridLinePen(), {},
              tickPositions(area.bottom(), -area.height(), countY, axisY->minorTickCount(), false));
    drawLines(axisX->gridLinePen(), tickPositions(area.left(), area.width(), countX, 0, true), {});
    drawLines(axisY->gridLinePen(), {},
              tickPositions(area.bottom(), -area.height(), countY, 0, true));
}
