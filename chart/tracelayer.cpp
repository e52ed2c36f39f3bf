#include "chart/tracelayer.h"

#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

QT_CHARTS_USE_NAMESPACE

namespace {

// Exactly equal, NaN never: a line holding NaN is simply drawn again.
bool samePoints(const QVector<QPointF> &a, const QVector<QPointF> &b)
{
    return a.size() == b.size() &&
           std::equal(a.cbegin(), a.cend(), b.cbegin(), [](const QPointF &p, const QPointF &q) {
               return p.x() == q.x() && p.y() == q.y();
           });
}

} // namespace

TraceLayer::TraceLayer(QChart *owner, QValueAxis *horizontal, QValueAxis *vertical,
                       std::vector<QLineSeries *> series)
    : QGraphicsItem(owner), chart(owner), axisX(horizontal), axisY(vertical),
      lines(std::move(series)), drawn(lines.size())
{
    // Where Qt Charts puts its line items: over the grid, the axes and the comparison.
    setZValue(4);
    setAcceptedMouseButtons(Qt::NoButton);
    refresh();
}

bool TraceLayer::replace(int index, QVector<QPointF> &points)
{
    if (index < 0 || std::size_t(index) >= drawn.size())
        return false;
    QVector<QPointF> &line = drawn[std::size_t(index)];
    if (samePoints(line, points))
        return false;
    line.swap(points);
    update();
    return true;
}

QVector<QPointF> TraceLayer::points(int index) const
{
    return index >= 0 && std::size_t(index) < drawn.size() ? drawn[std::size_t(index)]
                                                           : QVector<QPointF>();
}

void TraceLayer::clear()
{
    for (QVector<QPointF> &line : drawn)
        line.clear();
    update();
}

void TraceLayer::refresh()
{
    const QRectF now = chart->plotArea();
    if (now != area) {
        prepareGeometryChange();
        area = now;
    }
    update();
}

QRectF TraceLayer::boundingRect() const
{
    return area;
}

void TraceLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const double xSpan = axisX->max() - axisX->min();
    const double ySpan = axisY->max() - axisY->min();
    if (area.isEmpty() || !(xSpan > 0) || !(ySpan > 0))
        return;
    const double sx = area.width() / xSpan;
    const double sy = area.height() / ySpan;
    const double x0 = area.left() - axisX->min() * sx;
    const double y0 = area.top() + axisY->max() * sy;
    painter->setClipRect(area);
    const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
    // One device pixel in item units, for the passes of a thin pen.
    const QTransform toDevice = painter->deviceTransform();
    const double px = toDevice.m11() != 0 ? 1.0 / std::abs(toDevice.m11()) : 1.0;
    const double py = toDevice.m22() != 0 ? 1.0 / std::abs(toDevice.m22()) : 1.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QVector<QPointF> &line = drawn[i];
        if (line.size() < 2 || !lines[i]->isVisible())
            continue;
        const QPen pen = lines[i]->pen();
        // Still: the series' pen, stroked. Moving: the cosmetic pen of one pixel that the
        // raster engine draws without stroking, in passes a pixel apart for a wider pen.
        QPen thin(pen.color(), 0);
        thin.setCosmetic(true);
        const int passes = pen.widthF() >= 1.5 ? 3 : 1;
        painter->setPen(smooth ? pen : thin);
        mapped.resize(0);
        const auto flush = [&] {
            const int n = mapped.size();
            if (n < 2) {
                mapped.resize(0);
                return;
            }
            if (smooth) {
                // A stroked polyline is filled as one shape, whose cost grows with how often it
                // crosses itself: short runs, as a zoomed-out view crosses itself everywhere.
                for (int k = 0; k + 1 < n; k += ShortRun)
                    painter->drawPolyline(mapped.constData() + k, std::min(ShortRun + 1, n - k));
            } else {
                const QPointF offsets[3] = {{0, 0}, {px, 0}, {0, py}};
                for (int pass = 0; pass < passes; ++pass) {
                    painter->translate(offsets[pass]);
                    painter->drawPolyline(mapped.constData(), n);
                    painter->translate(-offsets[pass]);
                }
            }
            mapped.resize(0);
        };
        for (const QPointF &p : line) {
            if (!std::isfinite(p.y())) {
                flush();
                continue;
            }
            mapped.append(QPointF(x0 + p.x() * sx, y0 - p.y() * sy));
        }
        flush();
    }
}
