// The chart model: appends and counters, the redraw tick's window following, auto-fit and cap,
// scroll, zoom and scale, and the series as views of the sample buffers.
#include "chart/pid_diagram.h"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

QT_CHARTS_USE_NAMESPACE

using Range = QPair<double, double>;
Q_DECLARE_METATYPE(Range)

namespace {
Range xRange(const PID_Diagram &d)
{
    return {d.horizontalAxis()->min(), d.horizontalAxis()->max()};
}
Range yRange(const PID_Diagram &d)
{
    return {d.verticalAxis()->min(), d.verticalAxis()->max()};
}
bool near(Range a, Range b)
{
    return std::abs(a.first - b.first) < 1e-4 && std::abs(a.second - b.second) < 1e-4;
}
// n samples of channel ch, all with the given actual and target values.
void fill(PID_Diagram &d, int ch, int n, float actual, float target)
{
    for (int i = 0; i < n; ++i) {
        d.appendActual(ch, actual);
        d.appendTarget(ch, target);
    }
}
} // namespace

class TestPidDiagram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void chartSetUp();
    void appendPositions();
    void clearKeepsAxes();
    void tickFollowsWindow_data();
    void tickFollowsWindow();
    void autoFit_data();
    void autoFit();
    void capAtTenThousand_data();
    void capAtTenThousand();
    void horizontalView_data();
    void horizontalView();
    void verticalScale_data();
    void verticalScale();
    void refreshLifecycle();
    void seriesShowVisibleRange();
    void seriesFollowAppendsWhileIdle();
    void hiddenChannelKeepsCounting();

private:
    std::unique_ptr<QChartView> view;
    std::unique_ptr<PID_Diagram> diagram;
};

void TestPidDiagram::init()
{
    view = std::make_unique<QChartView>();
    view->resize(900, 500);
    diagram = std::make_unique<PID_Diagram>(view.get());
}

void TestPidDiagram::cleanup()
{
    diagram.reset();
    view.reset();
}

void TestPidDiagram::chartSetUp()
{
    const QStringList names{"实际值1", "目标值1", "实际值2", "目标值2",
                            "实际值3", "目标值3", "实际值4", "目标值4"};
    const QList<QColor> colors{Qt::black, Qt::gray, Qt::darkYellow, Qt::red,
                               Qt::green, Qt::blue, Qt::cyan,       Qt::magenta};
    const auto series = view->chart()->series();
    QCOMPARE(series.size(), 8);
    for (int i = 0; i < 8; ++i) {
        auto *line = qobject_cast<QLineSeries *>(series.at(i));
        QVERIFY(line);
        QCOMPARE(line, diagram->series(i));
        QCOMPARE(line->name(), names.at(i));
        QCOMPARE(line->color(), colors.at(i));
        QCOMPARE(line->attachedAxes().size(), 2);
    }
    QCOMPARE(diagram->horizontalAxis()->titleText(), QStringLiteral("时间"));
    QCOMPARE(diagram->verticalAxis()->titleText(), QStringLiteral("幅度"));
    QCOMPARE(diagram->horizontalAxis()->labelFormat(), QStringLiteral("%d"));
    QVERIFY(near(xRange(*diagram), {0, 100}));
    QVERIFY(near(yRange(*diagram), {-100, 100}));
    QCOMPARE(view->chart()->animationOptions(), QChart::NoAnimation);
}

void TestPidDiagram::appendPositions()
{
    diagram->appendActual1(3);
    diagram->appendTarget1(4);
    for (int i = 0; i < 3; ++i)
        diagram->appendActual2(7);
    diagram->appendTarget2(8);

    const auto points = diagram->allPoints();
    QCOMPARE(points.size(), 8);
    QCOMPARE(points.at(0), QVector<QPointF>{QPointF(0, 3)});
    QCOMPARE(points.at(1), QVector<QPointF>{QPointF(1, 4)});
    QCOMPARE(points.at(2), (QVector<QPointF>{{0, 7}, {1, 7}, {2, 7}}));
    QCOMPARE(points.at(3), QVector<QPointF>{QPointF(3, 8)});
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{1, 3, 0, 0}));
}

void TestPidDiagram::clearKeepsAxes()
{
    for (int ch = 0; ch < 4; ++ch)
        fill(*diagram, ch, 20, 1, 2);
    diagram->setVerticalScale(0.5);
    diagram->clearAll();
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{0, 0, 0, 0}));
    for (const auto &series : diagram->allPoints())
        QVERIFY(series.isEmpty());
    for (int i = 0; i < 8; ++i)
        QCOMPARE(diagram->series(i)->count(), 0);
    QVERIFY(near(yRange(*diagram), {-500, 500}));
    QVERIFY(near(xRange(*diagram), {0, 100}));
}

void TestPidDiagram::tickFollowsWindow_data()
{
    QTest::addColumn<int>("count1");
    QTest::addColumn<int>("count3");
    QTest::addColumn<Range>("x");

    QTest::newRow("no samples") << 0 << 0 << Range(0, 200);
    QTest::newRow("fewer than the window") << 150 << 0 << Range(0, 200);
    QTest::newRow("exactly the window") << 200 << 0 << Range(0, 200);
    QTest::newRow("largest counter 250") << 250 << 0 << Range(50, 250);
    QTest::newRow("largest counter on channel 3") << 10 << 700 << Range(500, 700);
}

void TestPidDiagram::tickFollowsWindow()
{
    QFETCH(int, count1);
    QFETCH(int, count3);
    QFETCH(Range, x);

    fill(*diagram, 0, count1, 1, 2);
    fill(*diagram, 2, count3, 1, 2);
    diagram->on_timer_updata();
    QVERIFY(near(xRange(*diagram), x));
    QVERIFY(near(yRange(*diagram), {-100, 100}));
}

void TestPidDiagram::autoFit_data()
{
    QTest::addColumn<QVector<int>>("counts");
    QTest::addColumn<QVector<bool>>("shown");
    // Per channel: the actual value, or a spike put at one index of the actual buffer.
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("spikeIndex");
    QTest::addColumn<float>("spike");
    QTest::addColumn<Range>("x");
    QTest::addColumn<Range>("y");

    const QVector<bool> all{true, true, true, true};
    const QVector<bool> only1{true, false, false, false};
    const QVector<bool> none{false, false, false, false};

    QTest::newRow("no channel shown")
        << QVector<int>{50, 0, 0, 0} << none << 5.f << -1 << 0.f << Range(0, 100) << Range(-1, 1);
    QTest::newRow("constant 5, channel 1") << QVector<int>{50, 0, 0, 0} << only1 << 5.f << -1 << 0.f
                                           << Range(0, 200) << Range(-0.5, 5.5);
    QTest::newRow("negative values") << QVector<int>{50, 0, 0, 0} << only1 << -10.f << -1 << 0.f
                                     << Range(0, 200) << Range(-11, 1);
    QTest::newRow("last shown channel decides x") << QVector<int>{250, 0, 0, 0} << all << 5.f << -1
                                                  << 0.f << Range(0, 200) << Range(-0.5, 5.5);
    QTest::newRow("channel 1 alone with 250") << QVector<int>{250, 0, 0, 0} << only1 << 5.f << -1
                                              << 0.f << Range(50, 250) << Range(-0.5, 5.5);
    // The actual scan starts at count - window = 50 and steps by 4.
    QTest::newRow("spike before the window is ignored")
        << QVector<int>{250, 0, 0, 0} << only1 << 5.f << 49 << 100.f << Range(50, 250)
        << Range(-0.5, 5.5);
    QTest::newRow("spike on a scanned index widens")
        << QVector<int>{250, 0, 0, 0} << only1 << 5.f << 54 << 100.f << Range(50, 250)
        << Range(-10, 110);
    QTest::newRow("spike between scanned indices is ignored")
        << QVector<int>{250, 0, 0, 0} << only1 << 5.f << 55 << 100.f << Range(50, 250)
        << Range(-0.5, 5.5);
    QTest::newRow("NaN never moves the fit")
        << QVector<int>{50, 0, 0, 0} << only1 << 5.f << 4 << std::numeric_limits<float>::quiet_NaN()
        << Range(0, 200) << Range(-0.5, 5.5);
    QTest::newRow("hidden channel leaves the fit")
        << QVector<int>{50, 50, 0, 0} << only1 << 5.f << -1 << 0.f << Range(0, 200)
        << Range(-0.5, 5.5);
}

void TestPidDiagram::autoFit()
{
    QFETCH(QVector<int>, counts);
    QFETCH(QVector<bool>, shown);
    QFETCH(float, value);
    QFETCH(int, spikeIndex);
    QFETCH(float, spike);
    QFETCH(Range, x);
    QFETCH(Range, y);

    for (int ch = 0; ch < 4; ++ch) {
        for (int i = 0; i < counts[ch]; ++i) {
            // A hidden channel gets a huge value that must not reach the fit.
            const float v = shown[ch] ? value : 1000.f;
            diagram->appendActual(ch, ch == 0 && i == spikeIndex ? spike : v);
            diagram->appendTarget(ch, shown[ch] ? value : 1000.f);
        }
        diagram->setChannelShown(ch, shown[ch]);
    }
    diagram->autoScroll = true;
    diagram->on_timer_updata();
    QVERIFY2(
        near(xRange(*diagram), x),
        qPrintable(
            QStringLiteral("x %1 %2").arg(xRange(*diagram).first).arg(xRange(*diagram).second)));
    QVERIFY2(
        near(yRange(*diagram), y),
        qPrintable(
            QStringLiteral("y %1 %2").arg(yRange(*diagram).first).arg(yRange(*diagram).second)));
}

void TestPidDiagram::capAtTenThousand_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("cleared");

    QTest::newRow("9999 on channel 1") << 0 << 9999 << false;
    QTest::newRow("10000 on channel 1") << 0 << 10000 << true;
    QTest::newRow("10000 on channel 4") << 3 << 10000 << true;
    QTest::newRow("10500 on channel 2") << 1 << 10500 << true;
}

void TestPidDiagram::capAtTenThousand()
{
    QFETCH(int, channel);
    QFETCH(int, count);
    QFETCH(bool, cleared);

    fill(*diagram, 0, 10, 1, 2);
    fill(*diagram, channel, count - (channel == 0 ? 10 : 0), 1, 2);
    diagram->on_timer_updata();
    const auto counts = diagram->sampleCounts();
    if (cleared) {
        QCOMPARE(counts, (QVector<quint32>{0, 0, 0, 0}));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(diagram->allPoints().at(i).isEmpty());
            QCOMPARE(diagram->series(i)->count(), 0);
        }
        // The axis keeps the range of that tick.
        QVERIFY(near(xRange(*diagram), {double(count - 200), double(count)}));
    } else {
        QCOMPARE(counts.at(channel), quint32(count));
    }
}

void TestPidDiagram::horizontalView_data()
{
    QTest::addColumn<int>("count1");
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<float>("storedFraction");
    QTest::addColumn<Range>("x");

    QTest::newRow("newest") << 1000 << 0.0 << 0.0 << 0.4f << Range(600, 1000);
    QTest::newRow("oldest") << 1000 << 1.0 << 0.0 << 0.4f << Range(0, 400);
    QTest::newRow("middle") << 1000 << 0.5 << 0.0 << 0.4f << Range(300, 700);
    QTest::newRow("zoom to a tenth") << 1000 << 0.5 << 0.1 << 0.1f << Range(450, 550);
    QTest::newRow("zoom floor") << 1000 << 0.0 << 0.01 << 0.01f << Range(990, 1000);
}

void TestPidDiagram::horizontalView()
{
    QFETCH(int, count1);
    QFETCH(double, position);
    QFETCH(double, fraction);
    QFETCH(float, storedFraction);
    QFETCH(Range, x);

    fill(*diagram, 0, count1, 1, 2);
    fill(*diagram, 1, 3 * count1, 1, 2); // only channel 1 decides the view
    diagram->setHorizontalView(position, fraction);
    QCOMPARE(diagram->horizontalFraction(), storedFraction);
    QVERIFY(near(xRange(*diagram), x));
}

void TestPidDiagram::verticalScale_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<Range>("y");

    QTest::newRow("0.005") << 0.005 << Range(-10, 10);
    QTest::newRow("0.01") << 0.01 << Range(-10, 10);
    QTest::newRow("0.5") << 0.5 << Range(-500, 500);
    QTest::newRow("0.999") << 0.999 << Range(-999, 999);
}

void TestPidDiagram::verticalScale()
{
    QFETCH(double, scale);
    QFETCH(Range, y);
    diagram->setVerticalScale(scale);
    QVERIFY(near(yRange(*diagram), y));
}

void TestPidDiagram::refreshLifecycle()
{
    diagram->setPause(true); // idle: nothing happens
    QVERIFY(!diagram->isRefreshing());
    diagram->startRefresh(20);
    QVERIFY(diagram->isRefreshing());
    auto *timer = diagram->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(timer);
    diagram->startRefresh(5); // a second start keeps the running timer
    QCOMPARE(diagram->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly),
             QList<QTimer *>{timer});

    fill(*diagram, 0, 300, 1, 2);
    QTRY_VERIFY(near(xRange(*diagram), {100, 300}));
    diagram->setPause(true);
    fill(*diagram, 0, 100, 1, 2);
    QTest::qWait(200);
    QVERIFY(near(xRange(*diagram), {100, 300}));
    diagram->setPause(false);
    QTRY_VERIFY(near(xRange(*diagram), {200, 400}));
    diagram->stopRefresh();
    QVERIFY(!diagram->isRefreshing());
    diagram->stopRefresh();
}

void TestPidDiagram::seriesShowVisibleRange()
{
    for (int i = 0; i < 1000; ++i) {
        diagram->appendActual1(float(i));
        diagram->appendTarget1(float(-i));
    }
    diagram->setHorizontalView(0.5, 0.1); // (450, 550)
    diagram->refreshSeries();
    const auto actual = diagram->series(0)->pointsVector();
    // The points inside plus one neighbour beyond each edge.
    QCOMPARE(actual.size(), 101 + 2);
    QCOMPARE(actual.first(), QPointF(449, 449));
    QCOMPARE(actual.last(), QPointF(551, 551));
    const auto target = diagram->series(1)->pointsVector();
    QCOMPARE(target.first(), QPointF(449, -448));
    QCOMPARE(target.last(), QPointF(551, -550));
    // The buffers keep everything.
    QCOMPARE(diagram->allPoints().at(0).size(), 1000);

    // Zoomed out over far more points than pixels: reduced, extremes kept.
    for (int i = 0; i < 99000; ++i) {
        diagram->appendActual1(i % 2 ? 50.f : -50.f);
        diagram->appendTarget1(0);
    }
    diagram->setHorizontalView(0, 1.0);
    diagram->refreshSeries();
    const auto reduced = diagram->series(0)->pointsVector();
    const int columns = qRound(view->chart()->plotArea().width());
    QVERIFY(columns > 0);
    QVERIFY2(reduced.size() <= 2 * columns + 2, qPrintable(QString::number(reduced.size())));
    double lo = 0, hi = 0;
    for (const QPointF &p : reduced) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    QCOMPARE(lo, -50.0);
    QCOMPARE(hi, 999.0);
}

void TestPidDiagram::seriesFollowAppendsWhileIdle()
{
    diagram->appendActual2(1.5);
    diagram->appendTarget2(2.0);
    QTRY_COMPARE(diagram->series(2)->count(), 1);
    QCOMPARE(diagram->series(2)->at(0), QPointF(0, 1.5));
    QCOMPARE(diagram->series(3)->at(0), QPointF(1, 2.0));
    // The axes stay where they were until a tick or a scroll moves them.
    QVERIFY(near(xRange(*diagram), {0, 100}));
    QVERIFY(near(yRange(*diagram), {-100, 100}));
}

void TestPidDiagram::hiddenChannelKeepsCounting()
{
    diagram->setChannelShown(1, false);
    QVERIFY(!diagram->series(2)->isVisible());
    QVERIFY(!diagram->series(3)->isVisible());
    QVERIFY(diagram->series(0)->isVisible());
    fill(*diagram, 1, 30, 1, 2);
    QCOMPARE(diagram->sampleCounts().at(1), 30u);
    diagram->setChannelShown(1, true);
    QVERIFY(diagram->series(2)->isVisible());
    diagram->refreshSeries();
    QCOMPARE(diagram->series(2)->count(), 30);
}

QTEST_MAIN(TestPidDiagram)
#include "tst_pid_diagram.moc"
