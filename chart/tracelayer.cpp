#include "chart/tracelayer.h"

#include "chart/plotgrid.h"
#include "chart/seriesdecimator.h"

#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

QT_CHARTS_USE_NAMESPACE

namespace {
// Rounding of the clamped rows, which fit an int: truncation and a compare, cheaper than the
// library's std::floor and std::ceil where the baseline instruction set has no rounding.
int floorRow(double v)
{
    const int t = int(v);
    return t - int(v < double(t));
}

int ceilRow(double v)
{
    const int t = int(v);
    return t + int(v > double(t));
}
} // namespace

void TraceLayer::spanColumns(const QVector<QPointF> &device, const QRect &clip, double width,
                             QVector<QRect> &out)
{
    // A polyline's part within one pixel column is connected, so what it covers there is one
    // run of rows: the union of its segments' rows in the column. Each pixel is filled once,
    // where stroking the segments of a zoomed-out view covers every column twice or more.
    // A pixel is covered when its centre lies within the pen's width of the segment, as a
    // stroke covers it, the segment's ends taken square.
    const int left = clip.left();
    const int columns = clip.width();
    low.assign(std::size_t(std::max(columns, 0)), std::numeric_limits<double>::infinity());
    high.assign(low.size(), -std::numeric_limits<double>::infinity());
    const double half = width / 2.0;
    // Rows beyond the clip are clipped before they become whole numbers.
    const double above = clip.top() - 1.0;
    const double below = clip.bottom() + 2.0;
    for (int k = 0; k + 1 < device.size(); ++k) {
        QPointF a = device.at(k);
        QPointF b = device.at(k + 1);
        if (!std::isfinite(a.y()) || !std::isfinite(b.y()))
            continue;
        if (b.x() < a.x())
            std::swap(a, b);
        const double top = std::min(a.y(), b.y()) - half;
        const double bottom = std::max(a.y(), b.y()) + half;
        if (bottom < above || top > below)
            continue;
        // Rows are clipped to a million pixels beyond the plot where they are mapped, so the
        // squares stay finite.
        const double dx = b.x() - a.x();
        const double dy = b.y() - a.y();
        const double length = std::sqrt(dx * dx + dy * dy);
        // Half the pen across and along the axes: all of it across a level line, none along.
        const double hx = length > 0 ? half * std::abs(dy) / length : half;
        const double slope = dx > 0 ? dy / dx : 0.0;
        // At a column's centre the pen reaches half its width times sqrt(1 + slope^2) up and
        // down; a vertical segment covers its own rows.
        const double reachY = dx > 0 ? half * length / dx : std::abs(dy) + half;
        const int first =
            int(std::ceil(std::clamp(a.x() - hx - 0.5, double(left - 1), double(left + columns))));
        const int last =
            int(std::floor(std::clamp(b.x() + hx - 0.5, double(left - 1), double(left + columns))));
        // Along the line at each column's centre, a step of the slope from one to the next,
        // held to the segment's own rows past its ends: the pixels within half the pen of it.
        const int from = std::max(first, left);
        const int to = std::min(last, left + columns - 1);
        const double yMin = std::min(a.y(), b.y());
        const double yMax = std::max(a.y(), b.y());
        double y = a.y() + (from + 0.5 - a.x()) * slope;
        double *lows = low.data() + (from - left);
        double *highs = high.data() + (from - left);
        for (int c = from; c <= to; ++c, y += slope, ++lows, ++highs) {
            const double at = y < yMin ? yMin : y > yMax ? yMax : y;
            const double up = std::max(at - reachY, top);
            const double down = std::min(at + reachY, bottom);
            *lows = up < *lows ? up : *lows;
            *highs = down > *highs ? down : *highs;
        }
    }
    // At most a rectangle a column, written in place: this loop runs for every column of
    // every line at each tick.
    out.resize(std::max(columns, 0));
    QRect *const first = out.data();
    QRect *next = first;
    for (int c = 0; c < columns; ++c) {
        const double lo = low[std::size_t(c)];
        const double hi = high[std::size_t(c)];
        if (!(lo <= hi))
            continue;
        // The rows whose centres lie inside.
        const int from = std::max(ceilRow(std::clamp(lo, above, below) - 0.5), clip.top());
        const int to = std::min(floorRow(std::clamp(hi, above, below) - 0.5), clip.bottom());
        if (from > to)
            continue;
        // A level line covers the same rows in many columns: one rectangle for them.
        if (next != first && next[-1].right() == left + c - 1 && next[-1].top() == from &&
            next[-1].bottom() == to)
            next[-1].setRight(left + c);
        else
            *next++ = QRect(left + c, from, 1, to - from + 1);
    }
    out.resize(int(next - first));
}

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
    if (SeriesDecimator::samePoints(line, points))
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

void TraceLayer::setStill(bool still)
{
    setCacheMode(still ? DeviceCoordinateCache : NoCache);
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
    const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
    // Moving, the lines are filled column by column in device pixels; still, the series' pen
    // strokes them in item units.
    const QTransform toDevice = smooth ? QTransform() : PlotGrid::toPixels(painter);
    const QRectF plot = toDevice.mapRect(area);
    const double sx = plot.width() / xSpan;
    const double sy = plot.height() / ySpan;
    const double x0 = plot.left() - axisX->min() * sx;
    const double y0 = plot.top() + axisY->max() * sy;
    painter->save();
    if (smooth) {
        painter->setClipRect(area);
    } else {
        painter->setWorldTransform(PlotGrid::devicePixels(painter));
        painter->setPen(Qt::NoPen);
    }
    const QRect clip = plot.toAlignedRect();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QVector<QPointF> &line = drawn[i];
        if (line.size() < 2 || !lines[i]->isVisible())
            continue;
        const QPen pen = lines[i]->pen();
        mapped.resize(0);
        const double far = 1e6;
        for (const QPointF &p : line)
            mapped.append(QPointF(x0 + p.x() * sx, std::clamp(y0 - p.y() * sy, plot.top() - far,
                                                              plot.bottom() + far)));
        if (!smooth) {
            // At least a pixel, as a cosmetic pen.
            const double width = std::max(1.0, pen.widthF() * std::abs(toDevice.m11()));
            spanColumns(mapped, clip, width, rects);
            painter->setBrush(pen.color());
            painter->drawRects(rects.constData(), rects.size());
            continue;
        }
        painter->setPen(pen);
        // A value that is not a number breaks the line. A stroked polyline is filled as one
        // shape, whose cost grows with how often it crosses itself: short runs, as a zoomed-out
        // view crosses itself everywhere.
        int from = 0;
        for (int k = 0; k <= mapped.size(); ++k) {
            if (k < mapped.size() && std::isfinite(mapped.at(k).y()))
                continue;
            for (int start = from; start + 1 < k; start += ShortRun)
                painter->drawPolyline(mapped.constData() + start,
                                      std::min(ShortRun + 1, k - start));
            from = k + 1;
        }
    }
    painter->restore();
}
