#include "chart/stepchart.h"

#include "chart/seriesdecimator.h"

#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

QT_CHARTS_USE_NAMESPACE

StepChart::StepChart(QWidget *parent)
    : QChartView(parent), actual(new QLineSeries), target(new QLineSeries),
      comparison(new QLineSeries), predicted(new QLineSeries), axisX(new QValueAxis),
      axisY(new QValueAxis)
{
    auto *plot = new QChart;
    plot->legend()->hide();
    plot->setMargins(QMargins(2, 2, 2, 2));
    plot->setBackgroundRoundness(0);
    plot->addAxis(axisX, Qt::AlignBottom);
    plot->addAxis(axisY, Qt::AlignLeft);
    const struct
    {
        QLineSeries *series;
        QColor colour;
        Qt::PenStyle style;
    } lines[] = {{comparison, QColor(150, 150, 150), Qt::DashLine},
                 {target, QColor(200, 60, 60), Qt::DashLine},
                 {predicted, QColor(60, 140, 60), Qt::DotLine},
                 {actual, QColor(30, 80, 200), Qt::SolidLine}};
    for (const auto &line : lines) {
        plot->addSeries(line.series);
        line.series->attachAxis(axisX);
        line.series->attachAxis(axisY);
        line.series->setPen(QPen(line.colour, 1.5, line.style));
    }
    for (QValueAxis *axis : {axisX, axisY}) {
        axis->setLabelFormat(QStringLiteral("%.4g"));
        axis->setTickCount(3);
        QFont font = axis->labelsFont();
        font.setPointSizeF(font.pointSizeF() * 0.8);
        axis->setLabelsFont(font);
    }
    // The view's own first chart is released, not deleted, when it gets another.
    QChart *first = chart();
    setChart(plot);
    delete first;
    setRenderHint(QPainter::Antialiasing, false);
    setMinimumSize(160, 90);
}

void StepChart::setSource(std::function<StepAnalyzer::StepTrace()> from)
{
    source = std::move(from);
    refresh();
}

void StepChart::refresh()
{
    // A hidden chart costs nothing: it asks again when it shows.
    if (source && isVisible())
        setTrace(source());
}

void StepChart::showEvent(QShowEvent *event)
{
    QChartView::showEvent(event);
    refresh();
}

void StepChart::setTrace(const StepAnalyzer::StepTrace &trace)
{
    // The same finished window as before: nothing to draw again.
    if (!trace.open && !shown.open && trace.firstSample == shown.firstSample &&
        trace.actual.constData() == shown.actual.constData() &&
        trace.comparison.constData() == shown.comparison.constData())
        return;
    shown = trace;
    redraw();
}

void StepChart::setPredicted(const QVector<double> &values)
{
    prediction.resize(values.size());
    std::transform(values.cbegin(), values.cend(), prediction.begin(),
                   [](double v) { return float(v); });
    redraw();
}

QVector<QPointF> StepChart::points(int line) const
{
    const QLineSeries *series[] = {actual, target, comparison, predicted};
    return line >= 0 && line < 4 ? QtCompat::seriesPoints(*series[line]) : QVector<QPointF>();
}

void StepChart::redraw()
{
    const int n = shown.actual.size();
    const double xMax = std::max({n, int(shown.comparison.size()), int(prediction.size()), 2}) - 1;
    double low = shown.target;
    double high = shown.target;
    const auto fill = [&](QLineSeries *series, const QVector<float> &values) {
        scratch.resize(0);
        if (shown.firstSample >= 0)
            SeriesDecimator::visiblePoints(values, 0, 0, xMax, Columns, scratch);
        for (const QPointF &p : scratch) {
            if (std::isfinite(p.y())) {
                low = std::min(low, p.y());
                high = std::max(high, p.y());
            }
        }
        series->replace(scratch);
    };
    fill(actual, shown.actual);
    fill(comparison, shown.comparison);
    fill(predicted, prediction);
    if (shown.firstSample >= 0 && n > 0)
        target->replace(QVector<QPointF>{QPointF(0, shown.target), QPointF(xMax, shown.target)});
    else
        target->clear();
    const double margin = std::max((high - low) * 0.05, 1e-6 * std::max(1.0, std::fabs(high)));
    axisX->setRange(0, xMax);
    axisY->setRange(low - margin, high + margin);
}
