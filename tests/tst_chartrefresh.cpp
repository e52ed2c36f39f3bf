// When the chart's series are handed new points: only when what they show changed, and a
// hidden channel only once it is shown again, with everything that arrived meanwhile. How it is
// drawn: aliased while it moves, smooth once it holds still, its grid where the axes' would be.
#include "chart/axislayer.h"
#include "chart/pid_diagram.h"
#include "chart/plotgrid.h"
#include "chart/tracelayer.h"

#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
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
    void axesWhereQtChartsPutsThem_data();
    void axesWhereQtChartsPutsThem();
    void roomGivenBackOnlyAfterAWhile();
    void secondsAxisDrawnInItsPlace();
    void screenShowsTheNewRange_data();
    void screenShowsTheNewRange();
    void tracesWhereTheSeriesPutThem_data();
    void tracesWhereTheSeriesPutThem();
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
    const QVector<QPointF> before = diagram.shownPoints(0);

    QSignalSpy spy(&diagram, &PID_Diagram::shownPointsChanged);
    for (int i = 0; i < count; ++i) {
        diagram.append(0, float(i), 1);
    }
    diagram.refreshSeries();
    QCOMPARE(spy.count() > 0, replaced);
    QCOMPARE(diagram.shownPoints(0) == before, !replaced);
    QCOMPARE(diagram.shownPoints(0).last().x(), double(std::min(axisMax + 1, 149 + count)));
}

void ChartRefreshTest::hiddenChannelCatchesUpWhenShown()
{
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    diagram.setChannelShown(2, false);
    QSignalSpy spy(&diagram, &PID_Diagram::shownPointsChanged);
    for (int i = 0; i < 30; ++i) {
        diagram.append(2, float(i), float(-i));
    }
    diagram.refreshSeries();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(diagram.shownPoints(4).size(), 0);

    // Shown again: at once, without waiting for the next update.
    diagram.setChannelShown(2, true);
    QCOMPARE(diagram.shownPoints(4).size(), 30);
    QCOMPARE(diagram.shownPoints(5).size(), 30);
    QCOMPARE(diagram.shownPoints(4).at(29), QPointF(29, 29));
    QCOMPARE(diagram.shownPoints(5).at(0), QPointF(1, 0));
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
    QCOMPARE(diagram.shownPoints(0).size(), 0);
    // Restored: everything that arrived meanwhile, without waiting for a tick.
    view.showNormal();
    QTRY_COMPARE(diagram.shownPoints(0).size(), 30);
    QCOMPARE(diagram.shownPoints(1).size(), 30);
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
// Counts the paint events a widget gets.
struct PaintCount : QObject
{
    int count = 0;
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// The chart away from its window's corner, as in the window, where a widget paints into the
// window's pixels at an offset.
struct EmbeddedView
{
    QWidget window;
    QChartView *view = new QChartView(&window);
    EmbeddedView()
    {
        window.resize(860, 560);
        view->setGeometry(37, 23, 800, 500);
        window.show();
    }
    QImage grab() { return window.grab().toImage(); }
    // The plot area in the pixels of grab().
    QRect plot(const PID_Diagram &diagram) const
    {
        const double ratio = window.devicePixelRatioF();
        const QRectF area = diagram.chartItem()->plotArea().translated(view->pos());
        return QRectF(area.topLeft() * ratio, area.size() * ratio).toRect();
    }
};

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

template <typename Item> Item *childOf(PID_Diagram &diagram)
{
    for (QGraphicsItem *item : diagram.chartItem()->childItems()) {
        if (auto *found = dynamic_cast<Item *>(item))
            return found;
    }
    return nullptr;
}

// Our axes hidden and Qt Charts' own shown instead, with their grid.
void showQtAxes(PID_Diagram &diagram)
{
    childOf<AxisLayer>(diagram)->hide();
    childOf<PlotGrid>(diagram)->hide();
    for (QValueAxis *axis : {diagram.horizontalAxis(), diagram.verticalAxis()}) {
        axis->setVisible(true);
        axis->setGridLineVisible(true);
        axis->setMinorGridLineVisible(true);
    }
}
} // namespace

void ChartRefreshTest::gridWhereTheAxesPutIt()
{
    // Our grid against the axes' own, major and minor lines alike, on an empty chart.
    EmbeddedView e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    PID_Diagram diagram(e.view);
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    QTest::qWait(50);
    const QRect plot = e.plot(diagram);
    const QRectF area = diagram.chartItem()->plotArea();
    // Between two horizontal lines: 16 of them, major and minor, 20 pixels apart.
    const int row = plot.top() + plot.height() * 9 / 64;
    e.view->setRenderHint(QPainter::Antialiasing, false);
    const QVector<int> ours = markedColumns(e.grab(), row, plot.left() + 2, plot.right() - 2);

    // Qt Charts' own axes and grid, in the same plot area.
    showQtAxes(diagram);
    diagram.chartItem()->setPlotArea(area);
    QTest::qWait(50);
    QCOMPARE(diagram.chartItem()->plotArea(), area);
    const QVector<int> theirs = markedColumns(e.grab(), row, plot.left() + 2, plot.right() - 2);
    // 9 ticks with 9 minor ones between each two: 79 lines inside the edges, each where one
    // of theirs is. On a screen that scales by a fraction theirs are a pixel and a quarter wide
    // (two columns at times), and where they fall depends on the Qt version: two pixels there.
    QCOMPARE(ours.size(), 79);
    QVERIFY(theirs.size() >= ours.size());
    const int near = e.window.devicePixelRatioF() == 1.0 ? 1 : 2;
    for (int x : ours)
        QVERIFY2(std::any_of(theirs.cbegin(), theirs.cend(),
                             [x, near](int t) { return std::abs(t - x) <= near; }),
                 qPrintable(QStringLiteral("line at %1").arg(x)));
}

void ChartRefreshTest::axesWhereQtChartsPutsThem_data()
{
    QTest::addColumn<QRectF>("range"); // x from left to right, y from top to bottom
    QTest::newRow("as it starts") << QRectF(0, 100, 100, -200);
    QTest::newRow("six digits") << QRectF(100000, 300, 200, -400);
    QTest::newRow("fine steps, negative") << QRectF(100, -0.0002, 5, -0.0015);
    QTest::newRow("large magnitudes") << QRectF(0, 3e38, 200, -6e38);
}

// Each label and title where Qt Charts puts its own, with the same text, around the same
// plot area.
void ChartRefreshTest::axesWhereQtChartsPutsThem()
{
    QFETCH(QRectF, range);
    EmbeddedView e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    PID_Diagram diagram(e.view);
    diagram.showRange(range.left(), range.right(), range.bottom(), range.top());
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    QTest::qWait(50);
    const QRectF plot = diagram.chartItem()->plotArea();
    const AxisLayer *axes = childOf<AxisLayer>(diagram);
    const QVector<AxisLayer::Label> ours =
        axes->labels(Qt::Horizontal) + axes->labels(Qt::Vertical) + axes->titles();

    showQtAxes(diagram);
    QTest::qWait(50);
    const QRectF theirPlot = diagram.chartItem()->plotArea();
    QVERIFY2(std::abs(theirPlot.left() - plot.left()) <= 1 &&
                 std::abs(theirPlot.bottom() - plot.bottom()) <= 1 &&
                 std::abs(theirPlot.width() - plot.width()) <= 2 &&
                 std::abs(theirPlot.height() - plot.height()) <= 2,
             qPrintable(QStringLiteral("ours %1 %2 %3 %4")
                            .arg(plot.left())
                            .arg(plot.top())
                            .arg(plot.width())
                            .arg(plot.height())));
    QStringList theirTexts;
    for (QGraphicsItem *item : e.view->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        const QRectF box = text ? text->sceneBoundingRect() : QRectF();
        // The legend's names lie above the plot.
        if (!text || !text->isVisible() || text->toPlainText().isEmpty() ||
            box.bottom() < theirPlot.top())
            continue;
        theirTexts << text->toPlainText();
        const QPointF centre = diagram.chartItem()->mapFromScene(box.center());
        QVERIFY2(std::any_of(ours.cbegin(), ours.cend(),
                             [&](const AxisLayer::Label &label) {
                                 return label.text == text->toPlainText() &&
                                        QLineF(label.box.center(), centre).length() <= 2;
                             }),
                 qPrintable(text->toPlainText()));
    }
    QCOMPARE(theirTexts.size(), ours.size());
}

// Labels beside the plot that narrow for a moment leave the plot where it is; it takes the
// room they gave back only once they have stayed narrow.
void ChartRefreshTest::roomGivenBackOnlyAfterAWhile()
{
    EmbeddedView e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    PID_Diagram diagram(e.view);
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    const double wide = diagram.chartItem()->plotArea().left();
    QElapsedTimer clock;
    clock.start();
    diagram.showRange(0, 100, 0, 10);
    QTest::qWait(50);
    QCOMPARE(diagram.chartItem()->plotArea().left(), wide);
    QTRY_VERIFY(diagram.chartItem()->plotArea().left() < wide - 10);
    QVERIFY(clock.elapsed() >= 1000);
    // Wider again: at once.
    diagram.showRange(0, 100, -100, 100);
    QTest::qWait(50);
    QCOMPARE(diagram.chartItem()->plotArea().left(), wide);
}

// With time in seconds the axis below the plot is the one in seconds, labels and title.
void ChartRefreshTest::secondsAxisDrawnInItsPlace()
{
    QChartView view;
    view.resize(800, 500);
    PID_Diagram diagram(&view);
    const AxisLayer *axes = childOf<AxisLayer>(diagram);
    diagram.setTimeInSeconds(true);
    diagram.startRefresh(20);
    for (int i = 0; i < 40; ++i) {
        diagram.append(0, 1, 1);
        QTest::qWait(1);
    }
    diagram.on_timer_updata();
    diagram.stopRefresh();
    QVERIFY(diagram.showsSeconds());
    QCOMPARE(axes->titles().first().text, QStringLiteral("时间 (s)"));
    QCOMPARE(axes->labels(Qt::Horizontal).first().text.toDouble(),
             diagram.displayX(diagram.horizontalAxis()->min()));
    diagram.setTimeInSeconds(false);
    QCOMPARE(axes->titles().first().text, QStringLiteral("时间"));
    QCOMPARE(axes->labels(Qt::Horizontal).first().text,
             QString::number(qint64(diagram.horizontalAxis()->min())));
}

void ChartRefreshTest::screenShowsTheNewRange_data()
{
    // x from left to right, y from top to bottom; labels as wide before as after, so that
    // the chart keeps its layout and only what changed is repainted.
    QTest::addColumn<QRectF>("before");
    QTest::addColumn<QRectF>("after");
    QTest::newRow("followed: the labels below")
        << QRectF(1000, 100, 100, -200) << QRectF(1014, 100, 100, -200);
    QTest::newRow("scaled: the labels beside")
        << QRectF(1000, 100, 100, -200) << QRectF(1000, 200, 100, -400);
    QTest::newRow("both") << QRectF(1000, 100, 100, -200) << QRectF(1020, 200, 100, -400);
}

// What reaches the screen after a new range, repainted in parts, is what a whole new drawing
// shows: no label of the old range is left behind.
void ChartRefreshTest::screenShowsTheNewRange()
{
    QFETCH(QRectF, before);
    QFETCH(QRectF, after);
    EmbeddedView e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    if (e.window.devicePixelRatioF() != 1.0)
        QSKIP("a scaled offscreen screen grabs its windows at their size in points");
    PID_Diagram diagram(e.view);
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    // Moving, the view repaints in parts until it has held still for 300 ms.
    diagram.showRange(before.left(), before.right(), before.bottom(), before.top());
    QTest::qWait(30);
    PaintCount painted(e.view->viewport());
    diagram.showRange(after.left(), after.right(), after.bottom(), after.top());
    QTRY_VERIFY(painted.count > 0);
    const QImage screen = e.window.windowHandle()->screen()->grabWindow(e.window.winId()).toImage();
    QCOMPARE(screen.convertToFormat(QImage::Format_RGB32),
             e.grab().convertToFormat(QImage::Format_RGB32));
}

namespace {
// The pixels of `colour` inside `plot`.
QVector<QPoint> pixelsOf(const QImage &image, const QColor &colour, const QRect &plot)
{
    QVector<QPoint> at;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left() + 2; x < plot.right() - 2; ++x) {
            if (image.pixel(x, y) == colour.rgb())
                at.append({x, y});
        }
    }
    return at;
}

// How many of `pixels` have a pixel of `colour` in `image` at most one pixel away.
int nearby(const QVector<QPoint> &pixels, const QImage &image, const QColor &colour)
{
    return int(std::count_if(pixels.cbegin(), pixels.cend(), [&](const QPoint &p) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (image.valid(p.x() + dx, p.y() + dy) &&
                    image.pixel(p.x() + dx, p.y() + dy) == colour.rgb())
                    return true;
            }
        }
        return false;
    }));
}

int columnsOf(const QVector<QPoint> &pixels)
{
    QSet<int> columns;
    for (const QPoint &p : pixels)
        columns.insert(p.x());
    return columns.size();
}
} // namespace

void ChartRefreshTest::tracesWhereTheSeriesPutThem_data()
{
    QTest::addColumn<bool>("smooth");
    QTest::newRow("moving") << false;
    QTest::newRow("still") << true;
}

void ChartRefreshTest::tracesWhereTheSeriesPutThem()
{
    // Our lines against Qt Charts' own drawing of the same points: place, colour, width, the
    // gap of a value that is not a number, and nothing for a hidden channel.
    QFETCH(bool, smooth);
    EmbeddedView e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    PID_Diagram diagram(e.view);
    QTRY_VERIFY(diagram.chartItem()->plotArea().width() > 500);
    for (int i = 0; i <= 100; ++i) {
        const float gap = i >= 40 && i < 50 ? std::nanf("") : float(i) - 50;
        diagram.append(0, float(80 * std::sin(i * 0.1)), gap);
        diagram.append(1, 20, 30);
    }
    diagram.showRange(0, 100, -100, 100);
    diagram.setChannelShown(1, false);
    QTest::qWait(50);
    e.view->setRenderHint(QPainter::Antialiasing, smooth);
    const QRect plot = e.plot(diagram);
    const QImage ours = e.grab();

    for (QGraphicsItem *item : diagram.chartItem()->childItems()) {
        if (dynamic_cast<TraceLayer *>(item))
            item->hide();
    }
    for (int i = 0; i < 2; ++i)
        diagram.series(i)->replace(diagram.shownPoints(i));
    e.view->setRenderHint(QPainter::Antialiasing, false);
    const QImage theirs = e.grab();
    const int width = plot.width() - 4;
    for (int i = 0; i < 4; ++i) {
        const QColor colour = diagram.series(i)->color();
        const QVector<QPoint> a = pixelsOf(ours, colour, plot);
        const QVector<QPoint> b = pixelsOf(theirs, colour, plot);
        const QString what = QStringLiteral("series %1: %2 and %3 pixels, %4 and %5 near")
                                 .arg(i)
                                 .arg(a.size())
                                 .arg(b.size())
                                 .arg(nearby(a, theirs, colour))
                                 .arg(nearby(b, ours, colour));
        // As wide: as many pixels within a fifth; in the same place: all but a few near theirs
        // (smooth edges are blends, not the colour).
        QVERIFY2(std::abs(a.size() - b.size()) * 5 <= b.size() || (smooth && a.size() > 0) ||
                     b.isEmpty(),
                 qPrintable(what));
        QVERIFY2(nearby(a, theirs, colour) * 100 >= a.size() * 98, qPrintable(what));
        QVERIFY2(nearby(b, ours, colour) * 100 >= b.size() * (smooth ? 60 : 98), qPrintable(what));
        // The sine everywhere, the target but for its gap of a tenth, channel 2 hidden.
        const int least = (i == 0 ? 98 : i == 1 ? 85 : 0) - (smooth && i < 2 ? 10 : 0);
        const int most = i == 0 ? 100 : i == 1 ? 92 : 0;
        QVERIFY2(columnsOf(a) * 100 >= width * least && columnsOf(a) * 100 <= width * most,
                 qPrintable(what + QStringLiteral(", %1 columns").arg(columnsOf(a))));
    }
}

QTEST_MAIN(ChartRefreshTest)
#include "tst_chartrefresh.moc"
