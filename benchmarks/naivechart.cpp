#include "benchmarks/naivechart.h"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

QT_CHARTS_USE_NAMESPACE

NaiveChart::NaiveChart(QChartView *view)
{
    axisX = new QValueAxis;
    axisY = new QValueAxis;
    chart = new QChart;
    axisX->setLabelFormat(QStringLiteral("%d"));
    axisX->setRange(0, 100);
    axisX->setTickCount(9);
    axisX->setMinorTickCount(9);
    axisY->setRange(-100, 100);
    axisY->setTickCount(9);
    axisY->setMinorTickCount(1);
    chart->addAxis(axisY, Qt::AlignLeft);
    chart->addAxis(axisX, Qt::AlignBottom);
    const Qt::GlobalColor colors[SeriesCount] = {Qt::black, Qt::gray, Qt::darkYellow, Qt::red,
                                                 Qt::green, Qt::blue, Qt::cyan,       Qt::magenta};
    for (int i = 0; i < SeriesCount; ++i) {
        lines[std::size_t(i)] = new QLineSeries;
        chart->addSeries(lines[std::size_t(i)]);
        lines[std::size_t(i)]->setColor(colors[i]);
    }
    chart->setAnimationOptions(QChart::NoAnimation);
    for (QLineSeries *s : lines) {
        s->attachAxis(axisX);
        s->attachAxis(axisY);
    }
    view->setChart(chart);
    view->setRenderHint(QPainter::Antialiasing, true);
}

void NaiveChart::appendActual(int channel, float value)
{
    unsigned &count = counts[std::size_t(channel)];
    lines[std::size_t(2 * channel)]->append(count, double(value));
    ++count;
}

void NaiveChart::appendTarget(int channel, float value)
{
    lines[std::size_t(2 * channel + 1)]->append(counts[std::size_t(channel)], double(value));
}

void NaiveChart::load(int channel, const QVector<QPointF> &actual, const QVector<QPointF> &target)
{
    lines[std::size_t(2 * channel)]->replace(actual);
    lines[std::size_t(2 * channel + 1)]->replace(target);
    counts[std::size_t(channel)] = unsigned(actual.size());
}

unsigned NaiveChart::maxCount() const
{
    return *std::max_element(counts.cbegin(), counts.cend());
}

void NaiveChart::tick()
{
    const unsigned top = maxCount();
    const auto follow = [&](unsigned count) {
        if (unsigned(windowWidth) > count)
            axisX->setRange(0, windowWidth);
        else
            axisX->setRange(top - windowWidth, top);
    };
    if (!autoScroll) {
        follow(top);
    } else {
        double low = 0;
        double high = 0;
        for (int c = 0; c < ChannelCount; ++c) {
            // Every channel sets the window again; the last one decides it.
            const int count = int(counts[std::size_t(c)]);
            follow(unsigned(count));
            const int start = count < windowWidth ? 0 : count - windowWidth;
            for (int side = 0; side < 2; ++side) {
                const QLineSeries *s = lines[std::size_t(2 * c + side)];
                const int end = std::min(count, s->count());
                for (int i = side == 0 ? start : 0; i < end; i += 4) {
                    const double y = s->at(i).y();
                    high = std::max(high, y);
                    low = std::min(low, y);
                }
            }
        }
        const double span = high - low;
        if (span != 0)
            axisY->setRange(low - 0.1 * span, high + 0.1 * span);
        else
            axisY->setRange((high + low) / 2 - 1, (high + low) / 2 + 1);
    }
    if (top >= SampleCap) {
        for (QLineSeries *s : lines)
            s->clear();
        counts.fill(0);
    }
}

void NaiveChart::showAll()
{
    axisX->setRange(0, std::max(1u, maxCount()));
}
