// When the chart's series are handed new points: only when what they show changed, and a
// hidden channel only once it is shown again, with everything that arrived meanwhile.
#include "chart/pid_diagram.h"

#include <QSignalSpy>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

QT_CHARTS_USE_NAMESPACE

class ChartRefreshTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacedOnlyWhenShownPointsChange_data();
    void replacedOnlyWhenShownPointsChange();
    void hiddenChannelCatchesUpWhenShown();
};

void ChartRefreshTest::replacedOnlyWhenShownPointsChange_data()
{
    QTest::addColumn<int>("axisMax"); // the view is 0..axisMax over 150 samples
    QTest::addColumn<int>("count");   // samples appended afterwards, x from 150 on
    QTest::addColumn<bool>("replaced");
    QTest::newRow("nothing new") << 100 << 0 << false;
    // 101 points inside plus the neighbour at 101 stay the same.
    QTest::newRow("beyond the right neighbour") << 100 << 40 << false;
    QTest::newRow("the first becomes the neighbour") << 149 << 1 << true;
    QTest::newRow("inside the view") << 300 << 40 << true;
}

void ChartRefreshTest::replacedOnlyWhenShownPointsChange()
{
    QFETCH(int, axisMax);
    QFETCH(int, count);
    QFETCH(bool, replaced);
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    diagram.horizontalAxis()->setRange(0, axisMax);
    for (int i = 0; i < 150; ++i) {
        diagram.appendActual(0, float(i % 7));
        diagram.appendTarget(0, 1);
    }
    diagram.refreshSeries();
    QLineSeries *actual = diagram.series(0);
    const QVector<QPointF> before = actual->pointsVector();

    QSignalSpy spy(actual, &QXYSeries::pointsReplaced);
    for (int i = 0; i < count; ++i) {
        diagram.appendActual(0, float(i));
        diagram.appendTarget(0, 1);
    }
    diagram.refreshSeries();
    QCOMPARE(spy.count() > 0, replaced);
    QCOMPARE(actual->pointsVector() == before, !replaced);
    QCOMPARE(actual->pointsVector().last().x(), double(std::min(axisMax + 1, 149 + count)));
}

void ChartRefreshTest::hiddenChannelCatchesUpWhenShown()
{
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    diagram.setChannelShown(2, false);
    QSignalSpy spy(diagram.series(4), &QXYSeries::pointsReplaced);
    for (int i = 0; i < 30; ++i) {
        diagram.appendActual(2, float(i));
        diagram.appendTarget(2, float(-i));
    }
    diagram.refreshSeries();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(diagram.series(4)->count(), 0);

    // Shown again: at once, without waiting for the next update.
    diagram.setChannelShown(2, true);
    QCOMPARE(diagram.series(4)->count(), 30);
    QCOMPARE(diagram.series(5)->count(), 30);
    QCOMPARE(diagram.series(4)->at(29), QPointF(29, 29));
    QCOMPARE(diagram.series(5)->at(0), QPointF(1, 0));
    QCOMPARE(diagram.allPoints().at(4).size(), 30);
}

QTEST_MAIN(ChartRefreshTest)
#include "tst_chartrefresh.moc"
