// What a series holds for a given horizontal range and plot width.
#include "chart/seriesdecimator.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {
QVector<QPointF> ramp(int n, double step = 1.0)
{
    QVector<QPointF> points;
    for (int i = 0; i < n; ++i)
        points.append(QPointF(i * step, i));
    return points;
}
} // namespace

class TestSeriesDecimator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fewPointsPassThrough_data();
    void fewPointsPassThrough();
    void columnExtremesSurvive_data();
    void columnExtremesSurvive();
    void nanPointsAreSkippedWhenReducing();
    void outputIsReused();
};

void TestSeriesDecimator::fewPointsPassThrough_data()
{
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<QVector<QPointF>>("expected");

    const QVector<QPointF> ten = ramp(10);
    QTest::newRow("empty") << QVector<QPointF>() << 0.0 << 10.0 << QVector<QPointF>();
    QTest::newRow("all inside") << ten << -1.0 << 20.0 << ten;
    QTest::newRow("neighbours beyond both edges")
        << ten << 3.5 << 6.5 << QVector<QPointF>(ten.begin() + 3, ten.begin() + 8);
    QTest::newRow("edges on points")
        << ten << 3.0 << 6.0 << QVector<QPointF>(ten.begin() + 2, ten.begin() + 8);
    QTest::newRow("range left of the data")
        << ten << -10.0 << -5.0 << QVector<QPointF>{ten.first()};
    QTest::newRow("range right of the data") << ten << 50.0 << 60.0 << QVector<QPointF>{ten.last()};
    QTest::newRow("range between two points")
        << ramp(3, 10.0) << 12.0 << 15.0 << QVector<QPointF>{{10, 1}, {20, 2}};
    // Targets of a channel may share an x.
    const QVector<QPointF> ties{{0, 1}, {1, 2}, {1, 3}, {2, 4}};
    QTest::newRow("ties kept in order") << ties << 0.5 << 1.5 << ties;
}

void TestSeriesDecimator::fewPointsPassThrough()
{
    QFETCH(QVector<QPointF>, points);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(QVector<QPointF>, expected);

    QVector<QPointF> out;
    SeriesDecimator::visiblePoints(points, xMin, xMax, 800, out);
    QCOMPARE(out, expected);
}

void TestSeriesDecimator::columnExtremesSurvive_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<int>("columns");

    QTest::newRow("10000 points on 800 columns") << 10000 << 0.0 << 10000.0 << 800;
    QTest::newRow("10000 points on 37 columns") << 10000 << 0.0 << 10000.0 << 37;
    QTest::newRow("window inside the data") << 100000 << 25000.5 << 74000.25 << 640;
    QTest::newRow("one column") << 5000 << 100.0 << 4000.0 << 1;
}

void TestSeriesDecimator::columnExtremesSurvive()
{
    QFETCH(int, count);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(int, columns);

    QRandomGenerator random(count + columns);
    QVector<QPointF> points;
    for (int i = 0; i < count; ++i)
        points.append(QPointF(i, random.bounded(2000.0) - 1000.0));

    QVector<QPointF> out;
    SeriesDecimator::visiblePoints(points, xMin, xMax, columns, out);
    QVERIFY(out.size() <= 2 * columns + 2);

    // Brute force: the lowest and highest point of every column is in the result.
    QVector<double> low(columns, std::numeric_limits<double>::infinity());
    QVector<double> high(columns, -std::numeric_limits<double>::infinity());
    for (const QPointF &p : points) {
        if (p.x() < xMin || p.x() > xMax)
            continue;
        const int c = std::min(columns - 1, int((p.x() - xMin) * columns / (xMax - xMin)));
        low[c] = std::min(low[c], p.y());
        high[c] = std::max(high[c], p.y());
    }
    for (int c = 0; c < columns; ++c) {
        if (std::isinf(low[c]))
            continue;
        const auto has = [&](double y) {
            return std::any_of(out.cbegin(), out.cend(), [&](const QPointF &p) {
                return p.y() == y && p.x() >= xMin && p.x() <= xMax;
            });
        };
        QVERIFY2(has(low[c]) && has(high[c]), qPrintable(QString::number(c)));
    }
    // Still in x order, and the neighbours beyond the edges are there.
    for (int i = 1; i < out.size(); ++i)
        QVERIFY(out[i - 1].x() <= out[i].x());
    if (xMin > 0)
        QVERIFY(out.first().x() < xMin);
    if (xMax < count - 1)
        QVERIFY(out.last().x() > xMax);
}

void TestSeriesDecimator::nanPointsAreSkippedWhenReducing()
{
    QVector<QPointF> points = ramp(1000);
    for (int i = 0; i < 1000; i += 3)
        points[i].setY(std::numeric_limits<double>::quiet_NaN());
    QVector<QPointF> out;
    SeriesDecimator::visiblePoints(points, 0, 999, 10, out);
    QVERIFY(!out.isEmpty());
    QVERIFY(out.size() <= 22);
    for (const QPointF &p : out)
        QVERIFY(!std::isnan(p.y()));
}

void TestSeriesDecimator::outputIsReused()
{
    QVector<QPointF> out = ramp(50);
    SeriesDecimator::visiblePoints(ramp(5), 1.5, 2.5, 100, out);
    QCOMPARE(out, (QVector<QPointF>{{1, 1}, {2, 2}, {3, 3}}));
}

QTEST_MAIN(TestSeriesDecimator)
#include "tst_seriesdecimator.moc"
