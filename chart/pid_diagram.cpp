#include "chart/pid_diagram.h"

#include "base/logging.h"
#include "chart/axislabels.h"
#include "chart/axislayer.h"
#include "chart/comparisonoverlay.h"
#include "chart/plotgrid.h"
#include "chart/roundticks.h"
#include "chart/seriesdecimator.h"
#include "chart/tracelayer.h"

#include <QEvent>
#include <QFontMetrics>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

QT_CHARTS_USE_NAMESPACE

namespace {

struct SeriesStyle
{
    const char *name;
    Qt::GlobalColor color;
};

const SeriesStyle seriesStyles[PID_Diagram::SeriesCount] = {
    {QT_TRANSLATE_NOOP("PID_Diagram", "实际值1"), Qt::black},
    {QT_TRANSLATE_NOOP("PID_Diagram", "目标值1"), Qt::gray},
    {QT_TRANSLATE_NOOP("PID_Diagram", "实际值2"), Qt::darkYellow},
    {QT_TRANSLATE_NOOP("PID_Diagram", "目标值2"), Qt::red},
    {QT_TRANSLATE_NOOP("PID_Diagram", "实际值3"), Qt::green},
    {QT_TRANSLATE_NOOP("PID_Diagram", "目标值3"), Qt::blue},
    {QT_TRANSLATE_NOOP("PID_Diagram", "实际值4"), Qt::cyan},
    {QT_TRANSLATE_NOOP("PID_Diagram", "目标值4"), Qt::magenta},
};

} // namespace

PID_Diagram::PID_Diagram(QChartView *view) : chartView(view)
{
    seriesUpdateTimer.setSingleShot(true);
    seriesUpdateTimer.setInterval(50);
    connect(&seriesUpdateTimer, &QTimer::timeout, this, &PID_Diagram::refreshSeries);
    smoothTimer.setSingleShot(true);
    smoothTimer.setInterval(SmoothAfterMs);
    connect(&smoothTimer, &QTimer::timeout, this, &PID_Diagram::drawSmooth);
    setupChart(tr("时间"), tr("幅度"), 0, 100, -100, 100);
    axisTime = new QValueAxis;
    axisTime->setTickCount(axisX->tickCount());
    axisTime->setMinorTickCount(axisX->minorTickCount());
    axisTime->setTitleText(tr("时间 (s)"));
    axisTime->setLinePen(axisX->linePen());
    axisTime->setGridLineVisible(false);
    axisTime->setMinorGridLineVisible(false);
    axisTime->setVisible(false);
    chart->addAxis(axisTime, Qt::AlignBottom);
    connect(axisTime, &QValueAxis::rangeChanged, this, [this] { axes->refresh(); });
    connect(axisX, &QValueAxis::rangeChanged, this, &PID_Diagram::updateTimeAxis);
    std::array<QColor, ChannelCount> colours;
    for (int c = 0; c < ChannelCount; ++c)
        colours[std::size_t(c)] = readableOnWhite(seriesStyles[2 * c].color);
    overlay = new ComparisonOverlay(chart, axisX, axisY, colours);
    predicted = new ComparisonOverlay(chart, axisX, axisY, colours);
    predicted->setLineLook(Qt::DashDotLine, colours);
    predicted->setShown(true);
    for (ComparisonOverlay *drawn : {overlay, predicted}) {
        connect(drawn, &ComparisonOverlay::changed, this, [this] {
            seriesDirty = true;
            refreshSeries();
        });
    }
}

PID_Diagram::~PID_Diagram() = default;

void PID_Diagram::setupChart(const QString &xTitle, const QString &yTitle, int xMin, int xMax,
                             int yMin, int yMax)
{
    axisX = new QValueAxis;
    axisY = new QValueAxis;
    for (QLineSeries *&s : lines)
        s = new QLineSeries;
    chart = new QChart;

    axisX->setLabelFormat(QStringLiteral("%d"));
    axisX->setRange(xMin, xMax);
    axisX->setGridLineVisible(true);
    axisX->setTickCount(9);
    axisX->setMinorTickCount(9);
    axisX->setTitleText(xTitle);

    axisY->setRange(yMin, yMax);
    axisY->setGridLineVisible(true);
    axisY->setTickCount(9);
    // Labels of a sensible width at any magnitude.
    connect(axisY, &QValueAxis::rangeChanged, this, [this](qreal min, qreal max) {
        const QString format = axisLabelFormat(min, max, axisY->tickCount());
        if (format != axisY->labelFormat())
            axisY->setLabelFormat(format);
    });
    axisY->setMinorTickCount(1);
    axisY->setTitleText(yTitle);

    for (int i = 0; i < SeriesCount; ++i) {
        lines[std::size_t(i)]->setPointsVisible(false);
        lines[std::size_t(i)]->setName(tr(seriesStyles[i].name));
    }

    chart->addAxis(axisY, Qt::AlignLeft);
    chart->addAxis(axisX, Qt::AlignBottom);
    for (int i = 0; i < SeriesCount; ++i) {
        chart->addSeries(lines[std::size_t(i)]);
        // Adding a series applies the chart theme's colours; ours win.
        lines[std::size_t(i)]->setColor(readableOnWhite(seriesStyles[i].color));
    }
    chart->setAnimationOptions(QChart::NoAnimation);
    for (QLineSeries *s : lines) {
        s->attachAxis(axisX);
        s->attachAxis(axisY);
    }
    lightenFurniture();

    // The view gives up the chart it made for itself without deleting it.
    QChart *const previous = chartView->chart();
    chartView->setChart(chart);
    if (previous != chart)
        delete previous;
    chartView->setRenderHint(QPainter::Antialiasing, true);
    // Room for the axes' labels and titles and a plot between them: Qt Charts elides labels
    // it has no room for, so a dock or a small window gives way before the chart does.
    const QFontMetrics metrics(chartView->font());
    chartView->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("-00000.0")) * 5,
                              metrics.height() * 15);
    // The default update mode repaints the exact region of what changed, and clipping to that
    // region (the series, each label) costs more than drawing the rectangle around it: a third
    // more per tick in auto-scroll mode.
    chartView->setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);

    chartView->window()->installEventFilter(this);
    // A new horizontal range or plot width changes which points the series need.
    connect(axisX, &QValueAxis::rangeChanged, this, &PID_Diagram::scheduleSeriesUpdate);
    connect(chart, &QChart::plotAreaChanged, this, &PID_Diagram::scheduleSeriesUpdate);
}

void PID_Diagram::lightenFurniture()
{
    // The theme's background is a gradient from white to white, which the raster engine blends
    // pixel by pixel on every repaint: a fifth of the repaint for nothing to see.
    chart->setBackgroundBrush(QBrush(Qt::white));
    // A line item with a pen 1 wide works out its bounds by stroking its shape at every
    // repaint; a cosmetic pen (width 0) is as wide at scale 1 and one sharp device pixel at any
    // other. The colour stays the theme's.
    for (QValueAxis *axis : {axisX, axisY}) {
        QPen pen = axis->linePen();
        pen.setWidth(0);
        axis->setLinePen(pen);
    }
    // The grid in the theme's pens, drawn once instead of at every repaint.
    grid = new PlotGrid(chart, axisX, axisY);
    axes = new AxisLayer(chart, axisX, axisY);
    traces = new TraceLayer(chart, axisX, axisY, {lines.begin(), lines.end()});
    traces->setStill(true);
    // Connected before the chart goes into the view, whose first layout already moves it.
    connect(chart, &QChart::plotAreaChanged, this, [this] {
        grid->refresh();
        axes->refresh();
        traces->refresh();
    });
    for (QValueAxis *axis : {axisX, axisY}) {
        connect(axis, &QValueAxis::rangeChanged, this, [this] {
            axes->refresh();
            traces->refresh();
        });
    }
}

bool PID_Diagram::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange && seriesDirty &&
        !chartView->window()->isMinimized())
        refreshSeries();
    return QObject::eventFilter(watched, event);
}

void PID_Diagram::pictureMoved()
{
    // Antialiasing is about half of every repaint; while the picture moves 20 times a second
    // nobody sees it. Once the picture has held still, it is drawn smooth again.
    if (chartView->renderHints().testFlag(QPainter::Antialiasing)) {
        chartView->setRenderHint(QPainter::Antialiasing, false);
        traces->setStill(false);
    }
    smoothTimer.start();
}

void PID_Diagram::drawSmooth()
{
    // Repaints the whole view when the hint changes.
    chartView->setRenderHint(QPainter::Antialiasing, true);
    traces->setStill(true);
}

bool PID_Diagram::isChannel(int channel)
{
    return channel >= 0 && channel < ChannelCount;
}

bool PID_Diagram::append(int channel, float actual, float target, qint64 arrivalNs)
{
    if (!isChannel(channel))
        return false;
    take({channel, actual, target}, arrivalNs);
    announceTaken(arrivalNs);
    return true;
}

void PID_Diagram::appendSamples(const ChannelSamples &samples, qint64 arrivalNs)
{
    for (const ChannelSample &sample : samples) {
        if (isChannel(sample.channel))
            take(sample, arrivalNs);
    }
    announceTaken(arrivalNs);
}

void PID_Diagram::take(ChannelSample sample, qint64 arrivalNs)
{
    // Without a ticking redraw nothing else keeps the default length.
    if (emptiesAtCap() && !ticking() && store.count(sample.channel) >= SampleCap) {
        announceTaken(arrivalNs); // numbered before the cap: told before it
        emptyAtCap();
    }
    sample.number = qint64(store.count(sample.channel));
    store.append(sample.channel, sample.actual, sample.target);
    ++appendedTotal;
    taken.append(sample);
}

void PID_Diagram::announceTaken(qint64 arrivalNs)
{
    if (taken.isEmpty())
        return;
    scheduleSeriesUpdate();
    Q_EMIT samplesAdded(taken, arrivalNs);
    taken.clear();
}

void PID_Diagram::emptyAtCap()
{
    store.clear();
    restartClock();
    overlay->clear();
    predicted->clear();
    seriesDirty = true;
    Q_EMIT capReached();
}

bool PID_Diagram::clearAll()
{
    store.clear();
    restartClock();
    overlay->clear();
    predicted->clear();
    traces->clear();
    pictureMoved();
    scheduleSeriesUpdate();
    Q_EMIT cleared();
    return true;
}

QVector<QVector<QPointF>> PID_Diagram::allPoints() const
{
    QVector<QVector<QPointF>> points;
    points.reserve(SeriesCount);
    for (int i = 0; i < SeriesCount; ++i)
        points.append(store.points(i));
    return points;
}

QVector<QPointF> PID_Diagram::shownPoints(int index) const
{
    return traces->points(index);
}

QVector<quint32> PID_Diagram::sampleCounts() const
{
    QVector<quint32> counts;
    for (int c = 0; c < ChannelCount; ++c)
        counts.append(quint32(std::min<quint64>(store.held(c), 0xFFFFFFFFu)));
    return counts;
}

void PID_Diagram::setHistoryLength(quint32 length)
{
    length = std::max<quint32>(length, 1);
    if (length == history)
        return;
    history = length;
    // The default keeps at most the cap (the rule above empties at it), so trim to it first.
    store.setCapacity(history);
    if (emptiesAtCap())
        store.setCapacity(SampleStore::Unlimited);
    scheduleSeriesUpdate();
    Q_EMIT historyLengthChanged(history);
}

void PID_Diagram::makeRoomFor(quint64 samples)
{
    // At the default length a channel that reaches the cap is emptied: holding exactly the
    // cap needs the next length.
    const quint64 room = emptiesAtCap() ? quint64(SampleCap) - 1 : history;
    if (samples <= room)
        return;
    const auto fits = std::find_if(HistoryLengths.begin() + 1, HistoryLengths.end(),
                                   [samples](quint32 length) { return length >= samples; });
    const quint32 length = fits == HistoryLengths.end() ? HistoryLengths.back() : *fits;
    if (length > history)
        setHistoryLength(length);
}

void PID_Diagram::setChannelShown(int channel, bool shown)
{
    if (!isChannel(channel))
        return;
    const bool change = shownFlags[std::size_t(channel)] != shown;
    shownFlags[std::size_t(channel)] = shown;
    for (QLineSeries *s : channelLines(channel))
        s->setVisible(shown);
    // Hidden series are not kept up to date; the comparison line goes with its channel.
    seriesDirty = true;
    refreshSeries();
    if (change)
        Q_EMIT channelShownChanged(channel, shown);
}

bool PID_Diagram::channelShown(int channel) const
{
    return isChannel(channel) && shownFlags[std::size_t(channel)];
}

void PID_Diagram::startRefresh(int framesPerSecond)
{
    if (timer)
        return;
    qCDebug(lcChart) << "开启定时器," << framesPerSecond << "帧";
    timer = new QTimer(this);
    timer->setInterval(1000 / framesPerSecond);
    // Seconds count from the run's first sample.
    timeOrigin = 0;
    for (int c = 0; c < ChannelCount; ++c)
        timeOrigin = std::max(timeOrigin, countOf(c));
    clockFrom = timeOrigin;
    runClock.start();
    connect(timer, &QTimer::timeout, this, &PID_Diagram::on_timer_updata);
    timer->start();
}

void PID_Diagram::stopRefresh()
{
    if (!timer)
        return;
    qCDebug(lcChart) << "停止定时器" << timer;
    delete timer;
    timer = nullptr;
    runClock.invalidate();
    // Samples may still arrive; keep the series following them.
    scheduleSeriesUpdate();
}

bool PID_Diagram::setPause(bool pause)
{
    if (timer) {
        if (pause)
            timer->stop();
        else
            timer->start();
    }
    return true;
}

void PID_Diagram::on_timer_updata()
{
    quint64 maxCount = 0;
    for (int c = 0; c < ChannelCount; ++c)
        maxCount = std::max(maxCount, countOf(c));
    measurePeriod(maxCount);

    // The target scan covers the channel's whole history at the default length; a longer
    // history is scanned over as many of its newest samples, so the fit costs the same.
    if (!autoScroll)
        moveView(shownRange().following(maxCount, windowWidth));
    else
        moveView(
            shownRange().fitted(store, shownFlags, windowWidth, emptiesAtCap() ? 0 : SampleCap));

    if (emptiesAtCap() && maxCount >= SampleCap)
        emptyAtCap();
    refreshSeries();
}

ViewRange PID_Diagram::shownRange() const
{
    return {axisX->min(), axisX->max(), axisY->min(), axisY->max()};
}

void PID_Diagram::moveView(const ViewRange &view)
{
    const bool xMoves = axisX->min() != view.xMin || axisX->max() != view.xMax;
    const bool yMoves = axisY->min() != view.yMin || axisY->max() != view.yMax;
    if (!xMoves && !yMoves)
        return;
    if (xMoves)
        axisX->setRange(view.xMin, view.xMax);
    if (yMoves)
        axisY->setRange(view.yMin, view.yMax);
    seriesDirty = true;
    pictureMoved();
}

void PID_Diagram::setHorizontalView(double position, double fraction)
{
    if (fraction != 0.0)
        viewFraction = float(fraction);
    qCDebug(lcChart) << position << viewFraction;
    // Over what channel 1 holds: from its oldest held sample to its newest.
    moveView(
        shownRange().scrolled(store.series(0).first(), countOf(0), position, double(viewFraction)));
    refreshSeries();
}

void PID_Diagram::showRange(double xMin, double xMax, double yMin, double yMax)
{
    moveView(ViewRange{xMin, xMax, yMin, yMax});
    refreshSeries();
}

void PID_Diagram::showRoundRange(double xMin, double xMax, double yMin, double yMax, bool roundX,
                                 bool roundY)
{
    if (roundX) {
        // Sample numbers are whole: no step below one sample.
        const RoundTicks::Range r =
            RoundTicks::widen(displayX(xMin), displayX(xMax), showsSeconds() ? 0.0 : 1.0);
        xMin = sampleX(r.min);
        xMax = sampleX(r.max);
    }
    if (roundY) {
        const RoundTicks::Range r = RoundTicks::widen(yMin, yMax);
        yMin = r.min;
        yMax = r.max;
    }
    showRange(xMin, xMax, yMin, yMax);
}

void PID_Diagram::snapRange(double xMin, double xMax, double yMin, double yMax)
{
    const RoundTicks::Range x = RoundTicks::snap(displayX(xMin), displayX(xMax));
    const RoundTicks::Range y = RoundTicks::snap(yMin, yMax);
    showRange(sampleX(x.min), sampleX(x.max), y.min, y.max);
}

void PID_Diagram::setTimeInSeconds(bool on)
{
    secondsAxis = on;
    updateTimeAxis();
}

double PID_Diagram::displayX(double sample) const
{
    return showsSeconds() ? (sample - double(timeOrigin)) * period : sample;
}

double PID_Diagram::sampleX(double display) const
{
    return showsSeconds() ? double(timeOrigin) + display / period : display;
}

QString PID_Diagram::timeText(quint64 n) const
{
    if (!showsSeconds())
        return QStringLiteral("#%1").arg(n);
    // Steps of a sample period, to the millisecond or finer where the period is shorter.
    const int decimals = std::clamp(int(std::ceil(-std::log10(period))), 3, 6);
    return QStringLiteral("%1 s").arg(displayX(double(n)), 0, 'f', decimals);
}

void PID_Diagram::updateTimeAxis()
{
    const bool seconds = showsSeconds();
    if (seconds)
        axisTime->setRange(displayX(axisX->min()), displayX(axisX->max()));
    axes->setHorizontal(seconds ? axisTime : axisX);
}

void PID_Diagram::measurePeriod(quint64 maxCount)
{
    // Over the whole run so far: the board's period, not the jitter of one read. A handful
    // of samples says too little.
    constexpr quint64 enough = 10;
    if (!runClock.isValid() || maxCount < clockFrom + enough)
        return;
    period = double(runClock.nsecsElapsed()) * 1e-9 / double(maxCount - clockFrom);
    updateTimeAxis();
}

double PID_Diagram::contrastOnWhite(const QColor &colour)
{
    // WCAG's relative luminance and contrast ratio.
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
                             0.0722 * linear(colour.blueF());
    return 1.05 / (luminance + 0.05);
}

QColor PID_Diagram::readableOnWhite(const QColor &colour)
{
    // Darker in steps of the HSV value, hue and saturation kept, until it reads.
    QColor c = colour.toHsv();
    while (contrastOnWhite(c) < MinimumContrast && c.value() > 0)
        c.setHsv(c.hsvHue(), c.hsvSaturation(), std::max(0, c.value() - 4));
    return c.toRgb();
}

void PID_Diagram::restartClock()
{
    timeOrigin = 0;
    clockFrom = 0;
    if (runClock.isValid())
        runClock.restart();
}

void PID_Diagram::setVerticalScale(double scale)
{
    moveView(shownRange().scaled(scale));
    refreshSeries();
}

void PID_Diagram::scheduleSeriesUpdate()
{
    seriesDirty = true;
    // While the redraw timer ticks, its tick brings the series up to date.
    if (timer && timer->isActive())
        return;
    if (!seriesUpdateTimer.isActive())
        seriesUpdateTimer.start();
}

int PID_Diagram::plotColumns() const
{
    const int plotWidth = qRound(chart->plotArea().width());
    if (plotWidth > 0)
        return plotWidth;
    return std::max(chartView->width(), 1);
}

void PID_Diagram::refreshSeries()
{
    seriesUpdateTimer.stop();
    if (!seriesDirty)
        return;
    // A minimized window shows nothing; its series catch up when it is restored.
    if (chartView->window()->isMinimized())
        return;
    seriesDirty = false;
    const double lo = axisX->min();
    const double hi = axisX->max();
    const int columns = plotColumns();
    for (int i = 0; i < SeriesCount; ++i) {
        QLineSeries *s = lines[std::size_t(i)];
        // A hidden series is mapped all the same; it is brought up to date when shown.
        if (!s->isVisible())
            continue;
        SeriesDecimator::visiblePoints(store.series(i), lo, hi, columns, scratch);
        // The same points leave the picture alone, as while paused with samples arriving
        // outside the view.
        if (!traces->replace(i, scratch))
            continue;
        pictureMoved();
        Q_EMIT shownPointsChanged(i);
    }
    if (overlay->refresh(lo, hi, columns, shownFlags))
        pictureMoved();
    if (predicted->refresh(lo, hi, columns, shownFlags))
        pictureMoved();
}
