#include "chart/comparisonoverlay.h"

#include "chart/seriesdecimator.h"

#include <QPainter>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

#include <cmath>

QT_CHARTS_USE_NAMESPACE

namespace {

// Nearly halfway to white: black becomes grey, where lighter() would leave it black.
QColor paler(const QColor &colour)
{
    const auto mix = [](int c) { return c + (255 - c) * 45 / 100; };
    return QColor(mix(colour.red()), mix(colour.green()), mix(colour.blue()));
}

} // namespace

ComparisonOverlay::ComparisonOverlay(QChart *owner, QValueAxis *horizontal, QValueAxis *vertical,
                                     const std::array<QColor, ChannelCount> &colours)
    : QGraphicsObject(owner), chart(owner), axisX(horizontal), axisY(vertical)
{
    for (int c = 0; c < ChannelCount; ++c)
        lines[std::size_t(c)].colour = paler(colours[std::size_t(c)]);
    // Above the grid and the axes, beneath the series, which stay in front.
    setZValue(3.5);
    setAcceptedMouseButtons(Qt::NoButton);
    followPlotArea();
    connect(chart, &QChart::plotAreaChanged, this, &ComparisonOverlay::followPlotArea);
    for (QValueAxis *axis : {axisX, axisY})
        connect(axis, &QValueAxis::rangeChanged, this, [this] { update(); });
}

void ComparisonOverlay::followPlotArea()
{
    const QRectF now = chart->plotArea();
    if (now != area) {
        prepareGeometryChange();
        area = now;
    }
    update();
}

bool ComparisonOverlay::adopt(int channel, const QVector<float> &actual, qint64 firstSample)
{
    Line &line = lines[std::size_t(channel)];
    // The same shared data: a source hands the same trace out at every refresh.
    if (line.first == firstSample && line.actual.size() == actual.size() &&
        line.actual.constData() == actual.constData())
        return false;
    line.actual = actual;
    line.first = firstSample;
    return true;
}

void ComparisonOverlay::setSource(Source from)
{
    source = std::move(from);
    Q_EMIT changed();
}

void ComparisonOverlay::setLineLook(Qt::PenStyle style,
                                    const std::array<QColor, ChannelCount> &colours)
{
    penStyle = style;
    for (int c = 0; c < ChannelCount; ++c)
        lines[std::size_t(c)].colour = colours[std::size_t(c)];
    update();
}

void ComparisonOverlay::setShown(bool on)
{
    if (shown == on)
        return;
    shown = on;
    Q_EMIT changed();
}

void ComparisonOverlay::clear()
{
    for (Line &line : lines) {
        line.actual.clear();
        line.first = -1;
        line.drawn.clear();
    }
    update();
}

bool ComparisonOverlay::refresh(double xMin, double xMax, int columns,
                                const std::array<bool, ChannelCount> &channelShown)
{
    // Asked also while hidden, so that turning the comparison on shows the right lines at once.
    for (int c = 0; source && c < ChannelCount; ++c) {
        const Trace trace = source(c);
        if (trace.currentFirstSample >= 0)
            adopt(c, trace.actual, trace.currentFirstSample);
    }
    bool changedLine = false;
    for (int c = 0; c < ChannelCount; ++c) {
        Line &line = lines[std::size_t(c)];
        scratch.resize(0);
        if (shown && channelShown[std::size_t(c)] && line.first >= 0)
            SeriesDecimator::visiblePoints(line.actual, line.first, xMin, xMax, columns, scratch);
        if (SeriesDecimator::samePoints(scratch, line.drawn))
            continue;
        line.drawn.swap(scratch);
        changedLine = true;
    }
    if (changedLine)
        update();
    return changedLine;
}

QVector<QPointF> ComparisonOverlay::points(int channel) const
{
    return channel >= 0 && channel < ChannelCount ? lines[std::size_t(channel)].drawn
                                                  : QVector<QPointF>();
}

QRectF ComparisonOverlay::boundingRect() const
{
    return area;
}

void ComparisonOverlay::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const double xSpan = axisX->max() - axisX->min();
    const double ySpan = axisY->max() - axisY->min();
    if (area.isEmpty() || !(xSpan > 0) || !(ySpan > 0))
        return;
    const double sx = area.width() / xSpan;
    const double sy = area.height() / ySpan;
    painter->setClipRect(area);
    for (const Line &line : lines) {
        if (line.drawn.size() < 2)
            continue;
        QPen pen(line.colour, 1, penStyle);
        painter->setPen(pen);
        // A value that is not a number breaks the line, as in the series.
        mapped.resize(0);
        const auto flush = [&] {
            if (mapped.size() > 1)
                painter->drawPolyline(mapped.constData(), mapped.size());
            mapped.resize(0);
        };
        for (const QPointF &p : line.drawn) {
            if (!std::isfinite(p.y())) {
                flush();
                continue;
            }
            mapped.append(QPointF(area.left() + (p.x() - axisX->min()) * sx,
                                  area.top() + (axisY->max() - p.y()) * sy));
        }
        flush();
    }
}
