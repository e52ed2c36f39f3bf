// The chart model: appends and counters, the redraw tick's window following, auto-fit and cap,
// scroll, zoom and scale, and the series as reduced views of the sample buffers.
#include "chart/pid_diagram.h"
#include "chart/seriesdecimator.h"
#include "tests/support/axisrange.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {
const float notANumber = std::numeric_limits<float>::quiet_NaN();
const float infinity = std::numeric_limits<float>::infinity();
} // namespace

class TestPidDiagram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void appendPositions();
    void tickFollowsWindow();
    void autoFit_data();
    void autoFit();
    void axisLabels_data();
    void axisLabels();
    void capWithoutTicks_data();
    void capWithoutTicks();
    void longHistoryKeepsNewest();
    void fitOverNewestTargets_data();
    void fitOverNewestTargets();
    void viewAndScale();
    void seriesShowVisibleRange();
    void columnExtremesSurvive_data();
    void columnExtremesSurvive();
    void tracesReadableOnWhite_data();
    void tracesReadableOnWhite();

private:
    void fill(int channel, int n, float actual = 1, float target = 2)
    {
        for (int i = 0; i < n; ++i)
            diagram->append(channel, actual, target);
    }
    QString x() const { return range(diagram->horizontalAxis()); }
    QString y() const { return range(diagram->verticalAxis()); }

    std::unique_ptr<QtCharts::QChartView> view;
    std::unique_ptr<PID_Diagram> diagram;
};

void TestPidDiagram::init()
{
    view = std::make_unique<QtCharts::QChartView>();
    view->resize(900, 500);
    diagram = std::make_unique<PID_Diagram>(view.get());
}

void TestPidDiagram::cleanup()
{
    diagram.reset();
    view.reset();
}

void TestPidDiagram::appendPositions()
{
    QVector<QVariantList> appended;
    connect(diagram.get(), &PID_Diagram::samplesAdded, this,
            [&appended](const ChannelSamples &read, qint64 ns) {
                for (const ChannelSample &s : read)
                    appended.append({s.channel, s.number, s.actual, s.target, ns});
            });
    diagram->append(0, 3, 4, 77);
    for (int i = 0; i < 3; ++i)
        diagram->append(1, 7, 8);
    const auto points = diagram->allPoints();
    QCOMPARE(points.at(0), QVector<QPointF>{QPointF(0, 3)});
    QCOMPARE(points.at(1), QVector<QPointF>{QPointF(1, 4)});
    QCOMPARE(points.at(2), (QVector<QPointF>{{0, 7}, {1, 7}, {2, 7}}));
    QCOMPARE(points.at(3), (QVector<QPointF>{{1, 8}, {2, 8}, {3, 8}}));
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{1, 3, 0, 0}));
    QCOMPARE(appended.at(0), (QVariantList{0, qint64(0), 3.f, 4.f, qint64(77)}));
    QCOMPARE(appended.at(3), (QVariantList{1, qint64(2), 7.f, 8.f, qint64(-1)}));
    // There are four channels; anything else is refused and changes nothing.
    for (const int channel : {-1, 4, 1000}) {
        QVERIFY(!diagram->append(channel, 1, 1));
        diagram->setChannelShown(channel, false);
    }
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{1, 3, 0, 0}));
    QCOMPARE(diagram->samplesAppended(), quint64(4));
    // Without a run the series follow the buffers too; the axes stay until a tick or a scroll.
    QTRY_COMPARE(diagram->shownPoints(2).size(), 3);
    QCOMPARE(diagram->shownPoints(3).at(0), QPointF(1, 8));
    QCOMPARE(x(), QStringLiteral("(0, 100)"));
}

// The redraw tick shows the newest 200 samples of the channel furthest along.
void TestPidDiagram::tickFollowsWindow()
{
    fill(0, 250);
    diagram->on_timer_updata();
    QCOMPARE(x(), QStringLiteral("(50, 250)"));
    fill(2, 700);
    diagram->on_timer_updata();
    QCOMPARE(x(), QStringLiteral("(500, 700)"));
    QCOMPARE(y(), QStringLiteral("(-100, 100)"));
}

void TestPidDiagram::autoFit_data()
{
    QTest::addColumn<int>("count1");
    QTest::addColumn<int>("shownMask"); // bit c: channel c shown
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("spikeAt"); // index of channel 1's actual buffer given `spike`
    QTest::addColumn<float>("spike");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    const auto row = [](const char *name, int count1, int mask, float value, int at, float spike,
                        const char *x, const char *y) {
        QTest::newRow(name) << count1 << mask << value << at << spike << QString(x) << QString(y);
    };
    // The fit's 10 % margins, widened to round ticks (RoundTicks).
    row("constant 5", 50, 1, 5, -1, 0, "(0, 200)", "(-1, 7)");
    row("last shown channel decides x, hidden ones not y", 250, 0b1001, 5, -1, 0, "(0, 200)",
        "(-1, 7)");
    row("channel 1 alone with 250", 250, 1, 5, -1, 0, "(50, 250)", "(-1, 7)");
    // The actual scan starts at count - window = 50 and steps by 4.
    row("spike on a scanned index widens", 250, 1, 5, 54, 100, "(50, 250)", "(-20, 140)");
    row("spike between scanned indices is ignored", 250, 1, 5, 55, 100, "(50, 250)", "(-1, 7)");
    row("NaN never moves the fit", 50, 1, 5, 4, notANumber, "(0, 200)", "(-1, 7)");
    row("infinity never moves the fit", 50, 1, 5, 4, -infinity, "(0, 200)", "(-1, 7)");
}

void TestPidDiagram::autoFit()
{
    QFETCH(int, count1);
    QFETCH(int, shownMask);
    QFETCH(float, value);
    QFETCH(int, spikeAt);
    QFETCH(float, spike);
    for (int ch = 0; ch < 4; ++ch) {
        const bool shown = shownMask & (1 << ch);
        const int count = ch == 0 ? count1 : shown ? 0 : 30;
        // A hidden channel gets a huge value that must not reach the fit.
        for (int i = 0; i < count; ++i) {
            diagram->append(ch,
                            ch == 0 && i == spikeAt ? spike
                            : shown                 ? value
                                                    : 1000.f,
                            shown ? value : 1000.f);
        }
        diagram->setChannelShown(ch, shown);
    }
    diagram->autoScroll = true;
    diagram->on_timer_updata();
    QTEST(x(), "x");
    QTEST(y(), "y");
}

void TestPidDiagram::axisLabels_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QString>("format");
    QTest::newRow("everyday: the chart's own labels") << -0.5 << 5.5 << "";
    QTest::newRow("a million each way: as before") << -1e6 << 1e6 << "";
    QTest::newRow("float's whole range: three digits") << -3.4e38 << 3.4e38 << "%.3g";
    QTest::newRow("large and narrow: the digits that differ") << 1e8 << 1e8 + 8 << "%.10g";
    QTest::newRow("fine steps") << 1.0 << 1.00001 << "%.8g";
}

// The vertical axis labels stay a few characters wide at any magnitude.
void TestPidDiagram::axisLabels()
{
    QFETCH(double, min);
    QFETCH(double, max);
    diagram->verticalAxis()->setRange(min, max);
    QTEST(diagram->verticalAxis()->labelFormat(), "format");
}

void TestPidDiagram::capWithoutTicks_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("no run") << "idle";
    QTest::newRow("paused") << "paused";
    QTest::newRow("running") << "running";
}

// With no tick coming (no run, or paused) the append that would go past the cap empties the
// chart; while the timer ticks, the tick does, series too, and its range stays.
void TestPidDiagram::capWithoutTicks()
{
    QFETCH(QString, state);
    if (state != QLatin1String("idle"))
        diagram->startRefresh(20);
    if (state == QLatin1String("paused"))
        diagram->setPause(true);
    QSignalSpy capped(diagram.get(), &PID_Diagram::capReached);
    fill(0, 5);
    fill(1, 10000);
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{5, 10000, 0, 0}));
    // What the analysis hears, in order: channel:number of the samples announced, and the cap.
    QStringList told;
    connect(diagram.get(), &PID_Diagram::samplesAdded, this, [&told](const ChannelSamples &read) {
        for (const ChannelSample &s : read)
            told << QStringLiteral("%1:%2").arg(s.channel).arg(s.number);
    });
    connect(diagram.get(), &PID_Diagram::capReached, this, [&told] { told << "cap"; });
    diagram->appendSamples({{2, 1, 1}, {1, 3, 4}}, -1);
    if (state == QLatin1String("running")) {
        QCOMPARE(told, (QStringList{"2:0", "1:10000"}));
        QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{5, 10001, 1, 0}));
        QCOMPARE(capped.count(), 0);
        diagram->on_timer_updata();
        QCOMPARE(diagram->sampleCounts(), QVector<quint32>(4, 0));
        QCOMPARE(diagram->shownPoints(2).size(), 0);
        QCOMPARE(x(), QStringLiteral("(9801, 10001)"));
    } else {
        QCOMPARE(told, (QStringList{"2:0", "cap", "1:0"}));
        QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{0, 1, 0, 0}));
        QCOMPARE(diagram->allPoints().at(2), QVector<QPointF>{QPointF(0, 3)});
        QCOMPARE(diagram->allPoints().at(3), QVector<QPointF>{QPointF(1, 4)});
    }
    QCOMPARE(capped.count(), 1);
}

// Above the default the newest samples stay at their sample numbers and nothing is emptied;
// the views cover what is held.
void TestPidDiagram::longHistoryKeepsNewest()
{
    QSignalSpy capped(diagram.get(), &PID_Diagram::capReached);
    diagram->setHistoryLength(500);
    for (int i = 0; i < 1200; ++i)
        diagram->append(0, float(i), float(-i));
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{500, 0, 0, 0}));
    QCOMPARE(diagram->nextSampleNumber(0), quint64(1200));
    QCOMPARE(diagram->allPoints().at(0).first(), QPointF(700, 700));
    QCOMPARE(diagram->allPoints().at(1).last(), QPointF(1200, -1199));
    diagram->on_timer_updata();
    QCOMPARE(x(), QStringLiteral("(1000, 1200)"));
    QCOMPARE(diagram->sampleCounts().at(0), 500u);
    diagram->setHorizontalView(1.0, 0.0);
    QCOMPARE(x(), QStringLiteral("(700, 900)"));
    diagram->setHorizontalView(0.0, 0.0);
    QCOMPARE(x(), QStringLiteral("(1000, 1200)"));
    QCOMPARE(diagram->shownPoints(0).first(), QPointF(999, 999));

    // Back to the default: the newest 10000 at most, emptied by the next sample at the cap.
    diagram->setHistoryLength(100000);
    fill(2, 20000);
    diagram->setHistoryLength(PID_Diagram::SampleCap);
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{500, 0, 10000, 0}));
    QCOMPARE(capped.count(), 0);
    fill(2, 1);
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{0, 0, 1, 0}));
    QCOMPARE(capped.count(), 1);

    // Room for an import: at the default a channel at the cap is emptied, so the cap itself
    // needs the next length.
    diagram->makeRoomFor(PID_Diagram::SampleCap - 1);
    QCOMPARE(diagram->historyLength(), PID_Diagram::SampleCap);
    diagram->makeRoomFor(PID_Diagram::SampleCap);
    QCOMPARE(diagram->historyLength(), 100000u);
    diagram->makeRoomFor(100000);
    QCOMPARE(diagram->historyLength(), 100000u);
}

void TestPidDiagram::fitOverNewestTargets_data()
{
    QTest::addColumn<quint32>("history");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("y");
    QTest::newRow("default: the whole history") << PID_Diagram::SampleCap << 9000 << "(-200, 1400)";
    QTest::newRow("long, spike among the newest 10000") << 100000u << 9000 << "(-200, 1400)";
    QTest::newRow("long, spike older than that") << 100000u << 30000 << "(-1, 7)";
}

// A long history's fit scans as many targets as the default holds, the newest, so a tick
// costs the same whatever the length.
void TestPidDiagram::fitOverNewestTargets()
{
    QFETCH(quint32, history);
    QFETCH(int, count);
    diagram->setHistoryLength(history);
    for (int i = 0; i < count; ++i)
        diagram->append(0, 5, i == 0 ? 1000 : 5);
    for (int c = 1; c < 4; ++c)
        diagram->setChannelShown(c, false);
    diagram->autoScroll = true;
    diagram->on_timer_updata();
    QTEST(y(), "y");
}

// Only channel 1's count decides the horizontal view; a fraction of 0 keeps the last one
// (0.4 at first). The vertical scale has a floor of 10.
void TestPidDiagram::viewAndScale()
{
    fill(0, 1000);
    fill(1, 3000);
    diagram->setHorizontalView(1.0, 0.0);
    QCOMPARE(x(), QStringLiteral("(0, 400)"));
    diagram->setHorizontalView(0.5, 0.1);
    QCOMPARE(x(), QStringLiteral("(450, 550)"));
    diagram->setHorizontalView(0.0, 0.0);
    QCOMPARE(x(), QStringLiteral("(900, 1000)"));
    diagram->setVerticalScale(0.005);
    QCOMPARE(y(), QStringLiteral("(-10, 10)"));
    diagram->setVerticalScale(0.999);
    QCOMPARE(y(), QStringLiteral("(-1000, 1000)")); // round ticks
}

void TestPidDiagram::seriesShowVisibleRange()
{
    // Past the default cap, which would empty the chart.
    diagram->setHistoryLength(100000);
    for (int i = 0; i < 1000; ++i)
        diagram->append(0, float(i), float(-i));
    diagram->setHorizontalView(0.5, 0.1); // (450, 550)
    diagram->refreshSeries();
    const auto actual = diagram->shownPoints(0);
    // The points inside plus one neighbour beyond each edge.
    QCOMPARE(actual.size(), 101 + 2);
    QCOMPARE(actual.first(), QPointF(449, 449));
    QCOMPARE(actual.last(), QPointF(551, 551));
    QCOMPARE(diagram->shownPoints(1).first(), QPointF(449, -448));

    // Zoomed out over far more points than pixels: reduced, extremes kept.
    for (int i = 0; i < 99000; ++i)
        diagram->append(0, i % 2 ? 50.f : -50.f, 0);
    diagram->setHorizontalView(0, 1.0);
    diagram->refreshSeries();
    const auto reduced = diagram->shownPoints(0);
    const int columns = qRound(view->chart()->plotArea().width());
    QVERIFY(columns > 0);
    QVERIFY2(reduced.size() <= 2 * columns + 2, qPrintable(QString::number(reduced.size())));
    const auto [lo, hi] = std::minmax_element(reduced.cbegin(), reduced.cend(),
                                              [](QPointF a, QPointF b) { return a.y() < b.y(); });
    QCOMPARE(lo->y(), -50.0);
    QCOMPARE(hi->y(), 999.0);
    QCOMPARE(diagram->allPoints().at(0).size(), 100000);
}

void TestPidDiagram::columnExtremesSurvive_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QPointF>("range"); // (min, max)
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("withNaN");
    QTest::newRow("10000 points on 37 columns") << 10000 << QPointF(10, 9990) << 37 << false;
    // The neighbours beyond the edges (101 and 3998) are numbers.
    QTest::newRow("NaN skipped") << 5000 << QPointF(101.5, 3997.5) << 10 << true;
}

// Brute force: the lowest and highest point of every pixel column is in the reduced series.
void TestPidDiagram::columnExtremesSurvive()
{
    QFETCH(int, count);
    QFETCH(QPointF, range);
    QFETCH(int, columns);
    QFETCH(bool, withNaN);
    const double xMin = range.x(), xMax = range.y();
    QRandomGenerator random(quint32(count + columns));
    QVector<QPointF> points;
    for (int i = 0; i < count; ++i)
        points << QPointF(i, withNaN && i % 3 == 0 ? double(notANumber)
                                                   : random.bounded(2000.0) - 1000);
    QVector<QPointF> out;
    SeriesDecimator::visiblePoints(points, xMin, xMax, columns, out);
    QVERIFY(out.size() <= 2 * columns + 2);

    const double inf = std::numeric_limits<double>::infinity();
    QVector<double> low(columns, inf), high(columns, -inf);
    for (const QPointF &p : points) {
        if (p.x() < xMin || p.x() > xMax || std::isnan(p.y()))
            continue;
        const int c = std::min(columns - 1, int((p.x() - xMin) * columns / (xMax - xMin)));
        low[c] = std::min(low[c], p.y());
        high[c] = std::max(high[c], p.y());
    }
    const auto has = [&](double y) {
        return std::any_of(out.cbegin(), out.cend(), [&](QPointF p) { return p.y() == y; });
    };
    for (int c = 0; c < columns; ++c)
        QVERIFY2(std::isinf(low[c]) || (has(low[c]) && has(high[c])),
                 qPrintable(QString::number(c)));
    // In x order, no NaN, and the neighbours beyond the edges are there.
    for (int i = 0; i < out.size(); ++i)
        QVERIFY(!std::isnan(out[i].y()) && (i == 0 || out[i - 1].x() <= out[i].x()));
    QVERIFY(out.first().x() < xMin && out.last().x() > xMax);
}

void TestPidDiagram::tracesReadableOnWhite_data()
{
    QTest::addColumn<int>("series");
    QTest::addColumn<QColor>("original"); // the hue each trace keeps
    const Qt::GlobalColor colours[] = {Qt::black, Qt::gray, Qt::darkYellow, Qt::red,
                                       Qt::green, Qt::blue, Qt::cyan,       Qt::magenta};
    for (int i = 0; i < PID_Diagram::SeriesCount; ++i)
        QTest::addRow("series %d", i) << i << QColor(colours[i]);
}

void TestPidDiagram::tracesReadableOnWhite()
{
    QFETCH(int, series);
    QFETCH(QColor, original);
    const QColor shown = diagram->series(series)->color();
    QVERIFY2(PID_Diagram::contrastOnWhite(shown) >= 3.0, qPrintable(shown.name()));
    QVERIFY(qAbs(shown.hsvHue() - original.hsvHue()) <= 2);
}

QTEST_MAIN(TestPidDiagram)
#include "tst_pid_diagram.moc"
