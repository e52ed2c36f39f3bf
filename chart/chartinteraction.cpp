#include "chart/chartinteraction.h"

#include "chart/pid_diagram.h"
#include "chart/roundticks.h"

#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QMouseEvent>
#include <QPen>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

QT_CHARTS_USE_NAMESPACE

namespace {

// Above the series and the legend.
constexpr qreal OverlayZ = 100;

QString number(float value)
{
    return QString::number(double(value), 'g', 6);
}

QString coloured(const QString &text, const QColor &colour)
{
    return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colour.name(), text);
}

} // namespace

ChartInteraction::ChartInteraction(PID_Diagram *owner) : QObject(owner), diagram(owner)
{
    QChart *chart = diagram->chartItem();
    line = new QGraphicsLineItem(chart);
    line->setPen(QPen(QColor(0, 0, 0, 140), 0));
    readoutBox = new QGraphicsRectItem(chart);
    // See-through, so a curve under it still shows; the text stays opaque.
    readoutBox->setPen(QPen(QColor(160, 160, 160, 160), 0));
    readoutBox->setBrush(QColor(255, 255, 255, 170));
    readout = new QGraphicsTextItem(readoutBox);
    // Moving the readout blits it instead of laying the text out again.
    readout->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    band = new QGraphicsRectItem(chart);
    band->setPen(QPen(QColor(40, 90, 200), 0, Qt::DashLine));
    band->setBrush(QColor(40, 90, 200, 40));
    for (QGraphicsItem *item :
         {static_cast<QGraphicsItem *>(line), static_cast<QGraphicsItem *>(readoutBox),
          static_cast<QGraphicsItem *>(band)}) {
        item->setZValue(OverlayZ);
        item->setAcceptedMouseButtons(Qt::NoButton);
        item->hide();
    }

    hoverTimer.setSingleShot(true);
    hoverTimer.setInterval(HoverIntervalMs);
    connect(&hoverTimer, &QTimer::timeout, this, [this] {
        if (hoverPending)
            hoverMoved();
    });

    panTimer.setSingleShot(true);
    panTimer.setInterval(PanIntervalMs);
    connect(&panTimer, &QTimer::timeout, this, [this] {
        if (panPending && drag == Drag::Pan)
            panToMouse();
    });

    QWidget *viewport = diagram->view()->viewport();
    viewport->setMouseTracking(true);
    viewport->installEventFilter(this);

    // Where the view moves under a still cursor (a scroll bar, a gesture), the readout
    // follows; with the cursor elsewhere this costs nothing. While the view follows a run the
    // readout would hide the newest samples: it goes until the mouse moves again.
    for (QValueAxis *axis : {diagram->horizontalAxis(), diagram->verticalAxis()}) {
        connect(axis, &QValueAxis::rangeChanged, this, [this] {
            if (diagram->isFollowing() &&
                (!lastMove.isValid() || lastMove.elapsed() > FollowingReadoutMs))
                hideReadout();
            else
                updateReadout();
        });
    }
    connect(chart, &QChart::plotAreaChanged, this, &ChartInteraction::updateReadout);

    for (int c = 0; c < ChannelCount; ++c) {
        for (QLineSeries *s : {diagram->series(2 * c), diagram->series(2 * c + 1)}) {
            for (QLegendMarker *marker : chart->legend()->markers(s)) {
                connect(marker, &QLegendMarker::clicked, diagram,
                        [this, c] { diagram->setChannelShown(c, !diagram->channelShown(c)); });
            }
        }
    }
    connect(diagram, &PID_Diagram::channelShownChanged, this, &ChartInteraction::showMarkers);
}

QString ChartInteraction::readoutText() const
{
    return readoutBox->isVisible() ? readout->toPlainText() : QString();
}

bool ChartInteraction::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        return mousePress(static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove:
        return mouseMove(static_cast<QMouseEvent *>(event));
    case QEvent::MouseButtonRelease:
        return mouseRelease(static_cast<QMouseEvent *>(event));
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (diagram->isFollowing() || mouse->button() != Qt::LeftButton ||
            !onPlot(toChart(mouse->pos())))
            return false;
        fitAll();
        return true;
    }
    case QEvent::Wheel:
        return wheel(static_cast<QWheelEvent *>(event));
    case QEvent::Leave:
        mouseOver = false;
        hoverPending = false;
        hideReadout();
        return false;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool ChartInteraction::mousePress(QMouseEvent *event)
{
    const QPointF at = toChart(event->pos());
    if (diagram->isFollowing() || drag != Drag::None || !onPlot(at))
        return false;
    if (event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier)))
        drag = Drag::Box;
    else if (event->button() == Qt::LeftButton)
        drag = Drag::Pan;
    else
        return false;
    pressAt = at;
    pressRange = range();
    hideReadout();
    if (drag == Drag::Pan)
        diagram->view()->viewport()->setCursor(Qt::ClosedHandCursor);
    return true;
}

bool ChartInteraction::mouseMove(QMouseEvent *event)
{
    mouseAt = toChart(event->pos());
    mouseOver = true;
    lastMove.start();
    if (drag == Drag::None) {
        if (hoverTimer.isActive())
            hoverPending = true;
        else
            hoverMoved();
        // A plain move stops here: the scene's own hover handling would test the cursor
        // against every series' stroked shape at each move, a scan of all points in view,
        // and nothing in the chart reacts to hovering.
        return event->buttons() == Qt::NoButton;
    }
    // A run started or resumed under the held button: the tick has the view now.
    if (diagram->isFollowing()) {
        band->hide();
        diagram->view()->viewport()->unsetCursor();
        drag = Drag::None;
        return true;
    }
    const QRectF plot = diagram->chartItem()->plotArea();
    if (drag == Drag::Box) {
        band->setRect(QRectF(pressAt, mouseAt).normalized().intersected(plot));
        band->show();
        return true;
    }
    if (panTimer.isActive())
        panPending = true;
    else
        panToMouse();
    return true;
}

void ChartInteraction::panToMouse()
{
    panPending = false;
    const QRectF plot = diagram->chartItem()->plotArea();
    const QPointF moved = mouseAt - pressAt;
    if (plot.isEmpty())
        return;
    const double dx = -moved.x() * (pressRange.xMax - pressRange.xMin) / plot.width();
    const double dy = moved.y() * (pressRange.yMax - pressRange.yMin) / plot.height();
    diagram->showRange(pressRange.xMin + dx, pressRange.xMax + dx, pressRange.yMin + dy,
                       pressRange.yMax + dy);
    panTimer.start();
}

bool ChartInteraction::mouseRelease(QMouseEvent *event)
{
    if (drag == Drag::None)
        return false;
    const Drag ended = drag;
    mouseAt = toChart(event->pos());
    // The view lands where the mouse was let go.
    if (ended == Drag::Pan && !diagram->isFollowing())
        panToMouse();
    panTimer.stop();
    panPending = false;
    drag = Drag::None;
    band->hide();
    diagram->view()->viewport()->unsetCursor();
    const QRectF plot = diagram->chartItem()->plotArea();
    const QRectF box = QRectF(pressAt, mouseAt).normalized().intersected(plot);
    if (ended == Drag::Box && !diagram->isFollowing() && box.width() >= MinimumBox &&
        box.height() >= MinimumBox) {
        const QPointF topLeft = valueAt(box.topLeft());
        const QPointF bottomRight = valueAt(box.bottomRight());
        diagram->showRoundRange(topLeft.x(), bottomRight.x(), bottomRight.y(), topLeft.y());
    } else if (ended == Drag::Pan && !diagram->isFollowing() && mouseAt != pressAt) {
        // The pan moves freely; where it ends round ticks land on round values again.
        const Range r = range();
        diagram->snapRange(r.xMin, r.xMax, r.yMin, r.yMax);
    }
    updateReadout();
    return true;
}

bool ChartInteraction::wheel(QWheelEvent *event)
{
    const QPointF at = toChart(event->position().toPoint());
    if (diagram->isFollowing() || !onPlot(at))
        return false;
    const int eighths = event->angleDelta().y();
    if (eighths == 0)
        return true;
    const double factor = std::pow(WheelZoom, eighths / 120.0);
    const QPointF centre = valueAt(at);
    Range r = range();
    // Each notch moves to the next round step, so the ticks stay on round values.
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const RoundTicks::Range z = RoundTicks::zoom(r.yMin, r.yMax, centre.y(), factor);
        // Float labels cannot tell closer values apart.
        if (!(z.max - z.min > 1e-6 * std::max(1.0, std::fabs(centre.y()))) ||
            !std::isfinite(z.max - z.min))
            return true;
        r.yMin = z.min;
        r.yMax = z.max;
    } else {
        // In the units the labels show; a sample number is whole.
        const bool seconds = diagram->showsSeconds();
        const RoundTicks::Range z =
            RoundTicks::zoom(diagram->displayX(r.xMin), diagram->displayX(r.xMax),
                             diagram->displayX(centre.x()), factor, seconds ? 0.0 : 1.0);
        const double lo = diagram->sampleX(z.min);
        const double hi = diagram->sampleX(z.max);
        if (!(hi - lo >= MinimumSamples) || !std::isfinite(hi - lo))
            return true;
        r.xMin = lo;
        r.xMax = hi;
    }
    diagram->showRange(r.xMin, r.xMax, r.yMin, r.yMax);
    return true;
}

void ChartInteraction::fitAll()
{
    const SampleStore &store = diagram->samples();
    quint64 first = std::numeric_limits<quint64>::max();
    quint64 end = 0;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (int c = 0; c < ChannelCount; ++c) {
        const SampleStore::Series actual = store.series(2 * c);
        if (actual.size() > 0) {
            first = std::min(first, actual.first());
            end = std::max(end, actual.end());
        }
        if (!diagram->channelShown(c))
            continue;
        // The store's block extremes: a fit over a long history reads a 256th of it.
        for (const SampleStore::Series &s : {actual, store.series(2 * c + 1)}) {
            float lowest = 0;
            float highest = 0;
            if (s.finiteRange(s.first(), s.end(), lowest, highest)) {
                low = std::min(low, double(lowest));
                high = std::max(high, double(highest));
            }
        }
    }
    if (end == 0)
        return;
    Range r = range();
    r.xMin = double(first);
    r.xMax = std::max(double(end), double(first) + MinimumSamples);
    if (low <= high) {
        const double margin = high > low ? 0.05 * (high - low) : 1.0;
        r.yMin = low - margin;
        r.yMax = high + margin;
    }
    diagram->showRoundRange(r.xMin, r.xMax, r.yMin, r.yMax, true, low <= high);
}

bool ChartInteraction::onPlot(const QPointF &at) const
{
    return diagram->chartItem()->plotArea().contains(at);
}

ChartInteraction::Range ChartInteraction::range() const
{
    const QValueAxis *x = diagram->horizontalAxis();
    const QValueAxis *y = diagram->verticalAxis();
    return {x->min(), x->max(), y->min(), y->max()};
}

QPointF ChartInteraction::toChart(const QPoint &viewportPos) const
{
    return diagram->chartItem()->mapFromScene(diagram->view()->mapToScene(viewportPos));
}

QPointF ChartInteraction::valueAt(const QPointF &chartPos) const
{
    const QRectF plot = diagram->chartItem()->plotArea();
    const Range r = range();
    return {r.xMin + (chartPos.x() - plot.left()) * (r.xMax - r.xMin) / plot.width(),
            r.yMax - (chartPos.y() - plot.top()) * (r.yMax - r.yMin) / plot.height()};
}

void ChartInteraction::hoverMoved()
{
    hoverPending = false;
    hoverTimer.start();
    updateReadout();
}

void ChartInteraction::updateReadout()
{
    const QRectF plot = diagram->chartItem()->plotArea();
    if (!mouseOver || drag != Drag::None || !plot.contains(mouseAt)) {
        hideReadout();
        return;
    }
    // The nearest sample that a shown channel holds.
    const SampleStore &store = diagram->samples();
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 end = 0;
    for (int c = 0; c < ChannelCount; ++c) {
        const SampleStore::Series actual = store.series(2 * c);
        if (diagram->channelShown(c) && actual.size() > 0) {
            first = std::min(first, qint64(actual.first()));
            end = std::max(end, qint64(actual.end()));
        }
    }
    const Range r = range();
    const double x = valueAt(mouseAt).x();
    if (end == 0 || !std::isfinite(x)) {
        hideReadout();
        return;
    }
    const qint64 n = std::clamp(qint64(std::llround(std::clamp(x, -1e15, 1e15))), first, end - 1);
    const double lineX = plot.left() + (double(n) - r.xMin) * plot.width() / (r.xMax - r.xMin);
    if (lineX < plot.left() || lineX > plot.right()) {
        hideReadout();
        return;
    }

    QString html = QStringLiteral("<div>%1</div>").arg(diagram->timeText(quint64(n)));
    for (int c = 0; c < ChannelCount; ++c) {
        const SampleStore::Series actual = store.series(2 * c);
        const SampleStore::Series target = store.series(2 * c + 1);
        if (!diagram->channelShown(c) || quint64(n) < actual.first() || quint64(n) >= actual.end())
            continue;
        QString row = coloured(tr("CH%1 实际 %2").arg(c + 1).arg(number(actual.y(quint64(n)))),
                               diagram->series(2 * c)->color());
        if (quint64(n) >= target.first() && quint64(n) < target.end())
            row += QLatin1Char(' ') + coloured(tr("目标 %1").arg(number(target.y(quint64(n)))),
                                               diagram->series(2 * c + 1)->color());
        html += QStringLiteral("<div>") + row + QStringLiteral("</div>");
    }
    if (html != readoutHtml) {
        readoutHtml = html;
        readout->setHtml(html);
        readoutBox->setRect(readout->boundingRect());
    }
    line->setLine(lineX, plot.top(), lineX, plot.bottom());
    // Beside the line, on its left where the right has no room; at the top or the bottom of
    // the plot, whichever is farther from the curves where they cross the line.
    const QSizeF size = readoutBox->rect().size();
    double left = lineX + 8;
    if (left + size.width() > plot.right())
        left = std::max(plot.left(), lineX - 8 - size.width());
    const double top = plot.top() + 4;
    const double bottom = std::max(top, plot.bottom() - 4 - size.height());
    double nearTop = std::numeric_limits<double>::infinity();
    double nearBottom = nearTop;
    for (int s = 0; s < PID_Diagram::SeriesCount; ++s) {
        const SampleStore::Series series = store.series(s);
        if (!diagram->channelShown(s / 2) || quint64(n) < series.first() ||
            quint64(n) >= series.end())
            continue;
        const double y = double(series.y(quint64(n)));
        if (!std::isfinite(y))
            continue;
        const double at = plot.bottom() - (y - r.yMin) * plot.height() / (r.yMax - r.yMin);
        const auto gap = [at, &size](double boxTop) {
            return at < boxTop                   ? boxTop - at
                   : at > boxTop + size.height() ? at - boxTop - size.height()
                                                 : 0.0;
        };
        nearTop = std::min(nearTop, gap(top));
        nearBottom = std::min(nearBottom, gap(bottom));
    }
    readoutBox->setPos(left, nearBottom > nearTop ? bottom : top);
    line->show();
    readoutBox->show();
}

void ChartInteraction::hideReadout()
{
    line->hide();
    readoutBox->hide();
}

void ChartInteraction::showMarkers(int channel, bool shown)
{
    QLegend *legend = diagram->chartItem()->legend();
    for (QLineSeries *s : {diagram->series(2 * channel), diagram->series(2 * channel + 1)}) {
        QColor colour = s->color();
        if (!shown)
            colour.setAlpha(60);
        for (QLegendMarker *marker : legend->markers(s)) {
            // The legend hides the markers of a hidden series; these stay to be clicked again.
            marker->setVisible(true);
            marker->setBrush(colour);
            marker->setLabelBrush(shown ? legend->labelBrush() : QBrush(Qt::gray));
        }
    }
    updateReadout();
}
