#pragma once

#include "base/qtcompat.h"
#include "chart/stepanalyzer.h"

#include <QVector>

#include <QtCharts/QChartView>
#include <functional>

QT_CHARTS_BEGIN_NAMESPACE
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// A small chart of one channel's last step, so the tuner sees it while the main chart follows
// the newest samples: the step window's actual values, its target, the step window before it
// (the comparison run) and, when one is given, a predicted response. Samples counted from the
// window's first sample; at most Columns points per line whatever the window's length.
class StepChart : public QtCharts::QChartView
{
    Q_OBJECT

public:
    static constexpr int Columns = 300;

    explicit StepChart(QWidget *parent = nullptr);

    // Where the trace comes from (e.g. the analyzer's stepTrace() of a channel), asked at
    // refresh() while the chart is visible and when it shows.
    void setSource(std::function<StepAnalyzer::StepTrace()> from);
    void refresh();
    // The window to draw; an empty trace clears the chart.
    void setTrace(const StepAnalyzer::StepTrace &trace);
    // Predicted actual values aligned with the window's first sample; empty: none. Kept until
    // replaced, also across windows.
    void setPredicted(const QVector<double> &values);

    // Points drawn now (for tests): actual, target, comparison, predicted.
    QVector<QPointF> points(int line) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void redraw();

    std::function<StepAnalyzer::StepTrace()> source;

    QtCharts::QLineSeries *actual;
    QtCharts::QLineSeries *target;
    QtCharts::QLineSeries *comparison;
    QtCharts::QLineSeries *predicted;
    QtCharts::QValueAxis *axisX;
    QtCharts::QValueAxis *axisY;
    StepAnalyzer::StepTrace shown;
    QVector<float> prediction;
    QVector<QPointF> scratch;
};
