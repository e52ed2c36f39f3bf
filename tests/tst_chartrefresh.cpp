// When the chart's series are handed new points: only when what they show changed, and a
// hidden channel only once it is shown again, with everything that arrived meanwhile. How it is
// drawn: aliased while it moves, smooth once it holds still, its grid where the axes' would be.
#include "chart/pid_diagram.h"
#include "chart/plotgrid.h"

#include <QSignalSpy>
#include <QtCharts/QChart>
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
    void minimizedCatchesUpWhenRestored();
    void smoothOnceStill();
    void gridWhereTheAxesPutIt();
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
        diagram.append(0, float(i % 7), 1);
    }
    diagram.refreshSeries();
    QLineSeries *actual = diagram.series(0);
    const QVector<QPointF> before = QtCompat::seriesPoints(*actual);

    QSignalSpy spy(actual, &QXYSeries::pointsReplaced);
    for (int i = 0; i < count; ++i) {
        diagram.append(0, float(i), 1);
    }
    diagram.refreshSeries();
    QCOMPARE(spy.count() > 0, replaced);
    QCOMPARE(QtCompat::seriesPoints(*actual) == before, !replaced);
    QCOMPARE(QtCompat::seriesPoints(*actual).last().x(),
             double(std::min(axisMax + 1, 149 + count)));
}

void ChartRefreshTest::hiddenChannelCatchesUpWhenShown()
{
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    diagram.setChannelShown(2, false);
    QSignalSpy spy(diagram.series(4), &QXYSeries::pointsReplaced);
    for (int i = 0; i < 30; ++i) {
        diagram.append(2, float(i), float(-i));
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

void ChartRefreshTest::minimizedCatchesUpWhenRestored()
{
    QChartView view;
    view.resize(800, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    PID_Diagram diagram(&view);
    view.showMinimized();
    QTRY_VERIFY(view.isMinimized());
    for (int i = 0; i < 30; ++i) {
        diagram.append(0, float(i), 1);
    }
    diagram.on_timer_updata();
    QCOMPARE(diagram.series(0)->count(), 0);
    // Restored: everything that arrived meanwhile, without waiting for a tick.
    view.showNormal();
    QTRY_COMPARE(diagram.series(0)->count(), 30);
    QCOMPARE(diagram.series(1)->count(), 30);
}

void ChartRefreshTest::smoothOnceStill()
{
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    QVERIFY(view.renderHints().testFlag(QPainter::Antialiasing));
    diagram.startRefresh(20);
    for (int i = 0; i < 300; ++i) {
        diagram.append(0, float(i % 9), 1);
    }
    // A tick that moves the view draws it aliased ...
    diagram.on_timer_updata();
    QVERIFY(!view.renderHints().testFlag(QPainter::Antialiasing));
    // ... and a run whose board has gone quiet is drawn smooth again, as is a paused one.
    QTRY_VERIFY(view.renderHints().testFlag(QPainter::Antialiasing));
    diagram.setPause(true);
    diagram.setVerticalScale(0.5);
    QVERIFY(!view.renderHints().testFlag(QPainter::Antialiasing));
    QTRY_VERIFY(view.renderHints().testFlag(QPainter::Antialiasing));
    diagram.stopRefresh();
}

namespace {
// Columns that are not the plot's white in any of six rows from `y` (dashed lines have gaps):
// vertical grid lines, where nothing else is drawn.
QVector<int> markedColumns(const QImage &image, int y, int from, int to)
{
    QVector<int> columns;
    for (int x = from; x < to; ++x) {
        for (int row = y; row < y + 6; ++row) {
            if (QColor(image.pixel(x, row)).lightness() < 250) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}
} // namespace

void ChartRefreshTest::gridWhereTheAxesPutIt()
{
    // Our grid against the axes' own, major and minor lines alike, on an empty chart.
    QChartView view;
    view.resize(800, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    PID_Diagram diagram(&view);
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    QTest::qWait(50);
    PlotGrid *grid = nullptr;
    for (QGraphicsItem *item : diagram.chartItem()->childItems())
        grid = grid ? grid : dynamic_cast<PlotGrid *>(item);
    QVERIFY(grid);
    const QRect plot = diagram.chartItem()->plotArea().toRect();
    // Between two horizontal lines: 16 of them, major and minor, 20 pixels apart.
    const int row = plot.top() + plot.height() * 9 / 64;
    view.setRenderHint(QPainter::Antialiasing, false);
    const QVector<int> ours =
        markedColumns(view.grab().toImage(), row, plot.left() + 2, plot.right() - 2);

    grid->hide();
    for (QValueAxis *axis : {diagram.horizontalAxis(), diagram.verticalAxis()}) {
        axis->setGridLineVisible(true);
        axis->setMinorGridLineVisible(true);
    }
    const QVector<int> theirs =
        markedColumns(view.grab().toImage(), row, plot.left() + 2, plot.right() - 2);
    // 9 ticks with 9 minor ones between each two: 79 lines inside the edges.
    QCOMPARE(ours.size(), 79);
    QCOMPARE(theirs.size(), ours.size());
    for (int i = 0; i < ours.size(); ++i)
        QVERIFY2(
            std::abs(ours.at(i) - theirs.at(i)) <= 1,
            qPrintable(
                QStringLiteral("line %1: %2 against %3").arg(i).arg(ours.at(i)).arg(theirs.at(i))));
}

QTEST_MAIN(ChartRefreshTest)
#include "tst_chartrefresh.moc"
