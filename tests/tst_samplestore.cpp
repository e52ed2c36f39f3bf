// The chart's sample store: rings that keep the newest values across chunk boundaries, the
// x of actual and target values, range lookups, memory that follows what is held, and the
// series reduction reading the store in place.
#include "chart/samplestore.h"
#include "chart/seriesdecimator.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
constexpr quint64 Chunk = SampleStore::Ring::ChunkSize;

// A value that tells its sample number apart from every other.
float valueOf(quint64 number, int series)
{
    return float(number % 100000) + 0.25f * float(series);
}
} // namespace

class SampleStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapAround_data();
    void wrapAround();
    void rangeLookups();
    void capacityChanges();
    void memoryFollowsHeld();
    void reductionReadsInPlace_data();
    void reductionReadsInPlace();
    void blockExtremesMatchAScan_data();
    void blockExtremesMatchAScan();
};

void SampleStoreTest::wrapAround_data()
{
    QTest::addColumn<quint64>("capacity");
    QTest::addColumn<quint64>("appended");
    QTest::newRow("below capacity") << quint64(100) << quint64(60);
    QTest::newRow("exactly full") << quint64(100) << quint64(100);
    QTest::newRow("tiny ring, many chunks through") << quint64(3) << 3 * Chunk + 5;
    QTest::newRow("one chunk, wrapped") << Chunk << 2 * Chunk + 1;
    QTest::newRow("chunk and one, wrapped") << Chunk + 1 << 3 * Chunk;
    QTest::newRow("unlimited") << SampleStore::Unlimited << 2 * Chunk + 7;
}

// The newest `capacity` values stay, each under its number, and the numbers keep counting.
void SampleStoreTest::wrapAround()
{
    QFETCH(quint64, capacity);
    QFETCH(quint64, appended);
    SampleStore store(capacity);
    for (quint64 n = 0; n < appended; ++n)
        store.append(1, valueOf(n, 2), valueOf(n, 3));
    const quint64 held = std::min(capacity, appended);
    QCOMPARE(store.count(1), appended);
    QCOMPARE(store.held(1), held);
    QCOMPARE(store.count(0), quint64(0));
    const SampleStore::Series actual = store.series(2);
    const SampleStore::Series target = store.series(3);
    QCOMPARE(actual.first(), appended - held);
    QCOMPARE(actual.end(), appended);
    for (quint64 n = actual.first(); n < actual.end(); ++n) {
        if (actual.y(n) != valueOf(n, 2) || target.y(n) != valueOf(n, 3) || actual.x(n) != n ||
            target.x(n) != n + 1)
            QFAIL(qPrintable(QStringLiteral("sample %1 is wrong").arg(n)));
    }
    const QVector<QPointF> points = store.points(3);
    QCOMPARE(quint64(points.size()), held);
    QCOMPARE(points.first(), QPointF(appended - held + 1, valueOf(appended - held, 3)));
    QCOMPARE(points.last(), QPointF(appended, valueOf(appended - 1, 3)));
}

// First point at or after x, first point after x, on the held part only.
void SampleStoreTest::rangeLookups()
{
    SampleStore store(10);
    for (int i = 0; i < 25; ++i)
        store.append(2, 0, 0);
    const SampleStore::Series actual = store.series(4); // numbers 15..24, x the same
    const SampleStore::Series target = store.series(5); // numbers 15..24, x 16..25
    QCOMPARE(actual.lowerBound(-1e300), quint64(15));
    QCOMPARE(actual.lowerBound(17.5), quint64(18));
    QCOMPARE(actual.upperBound(17), quint64(18));
    QCOMPARE(actual.lowerBound(1e300), quint64(25));
    QCOMPARE(target.lowerBound(25), quint64(24));
    QCOMPARE(target.upperBound(24.9), quint64(24));
    QCOMPARE(target.upperBound(25), quint64(25));
    QCOMPARE(target.lowerBound(std::numeric_limits<double>::quiet_NaN()), target.first());
}

// A shorter capacity keeps the newest values at their numbers; a longer one keeps all.
void SampleStoreTest::capacityChanges()
{
    SampleStore store;
    for (quint64 n = 0; n < 3 * Chunk; ++n)
        store.append(3, valueOf(n, 6), 0);
    const qint64 before = store.memoryBytes();
    store.setCapacity(100);
    QCOMPARE(store.held(3), quint64(100));
    QCOMPARE(store.series(6).first(), 3 * Chunk - 100);
    QCOMPARE(store.series(6).y(3 * Chunk - 1), valueOf(3 * Chunk - 1, 6));
    QVERIFY2(store.memoryBytes() < before / 2, "the dropped values' memory was kept");
    store.setCapacity(1000);
    for (quint64 n = 3 * Chunk; n < 3 * Chunk + 50; ++n)
        store.append(3, valueOf(n, 6), 0);
    QCOMPARE(store.held(3), quint64(150));
    QCOMPARE(store.count(3), 3 * Chunk + 50);
    QCOMPARE(store.series(6).y(3 * Chunk - 100), valueOf(3 * Chunk - 100, 6));
    store.setCapacity(0); // taken as 1
    QCOMPARE(store.held(3), quint64(1));
}

// Four bytes a value plus at most two chunks a ring (the held values' ends rarely fall on
// chunk boundaries); nothing for an empty store, and a full
// ring takes no more as values go on arriving.
void SampleStoreTest::memoryFollowsHeld()
{
    const quint64 capacity = 5 * Chunk + 123;
    SampleStore store(capacity);
    QCOMPARE(store.memoryBytes(), qint64(0));
    const auto fill = [&store](quint64 samples) {
        for (quint64 n = 0; n < samples; ++n)
            for (int c = 0; c < ChannelCount; ++c)
                store.append(c, 1, 2);
    };
    // Four bytes a value, 1.2 % more for the block extremes, and two chunks of slack.
    const auto bound = [](quint64 held) {
        return qint64(SampleStore::SeriesCount * (held * 4 + 2 * Chunk * 4) * 1.012);
    };
    fill(1000);
    QVERIFY(store.memoryBytes() <= bound(1000));
    fill(capacity);
    const qint64 full = store.memoryBytes();
    QVERIFY2(full <= bound(capacity), qPrintable(QString::number(full)));
    QVERIFY(full >= qint64(SampleStore::SeriesCount * capacity * 4));
    fill(3 * Chunk);
    const qint64 steady = store.memoryBytes();
    QVERIFY(steady <= bound(capacity));
    fill(3 * Chunk);
    QCOMPARE(store.memoryBytes(), steady);
    store.clear();
    QCOMPARE(store.memoryBytes(), qint64(0));
    QCOMPARE(store.count(0), quint64(0));
}

void SampleStoreTest::reductionReadsInPlace_data()
{
    QTest::addColumn<quint64>("capacity");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("columns");
    QTest::newRow("wrapped ring, few columns") << quint64(30000) << 70000 << 13;
    QTest::newRow("fewer points than columns") << quint64(500) << 2000 << 900;
    QTest::newRow("unlimited") << SampleStore::Unlimited << 40000 << 300;
    QTest::newRow("columns of many blocks") << SampleStore::Unlimited << 400000 << 37;
}

// Reading the store in place gives exactly what reducing a copy of its points gives, for
// ranges inside, across and outside what is held.
void SampleStoreTest::reductionReadsInPlace()
{
    QFETCH(quint64, capacity);
    QFETCH(int, samples);
    QFETCH(int, columns);
    SampleStore store(capacity);
    QRandomGenerator random{quint32(samples)};
    for (int i = 0; i < samples; ++i) {
        const float actual = float(random.bounded(200.0) - 100);
        store.append(0, actual,
                     i % 97 == 0 ? std::numeric_limits<float>::quiet_NaN()
                                 : float(random.bounded(10.0)));
    }
    QVector<QPointF> fromStore;
    QVector<QPointF> fromCopy;
    for (int series = 0; series < 2; ++series) {
        const QVector<QPointF> copy = store.points(series);
        for (int k = 0; k < 20; ++k) {
            const double a = random.bounded(double(samples) * 1.2) - samples * 0.1;
            const double b = a + random.bounded(double(samples) / 2);
            SeriesDecimator::visiblePoints(store.series(series), a, b, columns, fromStore);
            SeriesDecimator::visiblePoints(copy, a, b, columns, fromCopy);
            QCOMPARE(fromStore.size(), fromCopy.size());
            for (int i = 0; i < fromCopy.size(); ++i) {
                const QPointF p = fromStore.at(i), q = fromCopy.at(i);
                if (p.x() != q.x() || !(p.y() == q.y() || (std::isnan(p.y()) && std::isnan(q.y()))))
                    QFAIL(qPrintable(
                        QStringLiteral("range (%1, %2), point %3").arg(a).arg(b).arg(i)));
            }
        }
    }
}

void SampleStoreTest::blockExtremesMatchAScan_data()
{
    QTest::addColumn<quint64>("capacity");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("values");
    QTest::newRow("random, wrapped") << quint64(3 * Chunk + 77) << int(7 * Chunk) << "random";
    QTest::newRow("ties") << SampleStore::Unlimited << 20000 << "steps";
    QTest::newRow("NaN over whole blocks") << quint64(2 * Chunk) << int(3 * Chunk) << "nan";
    QTest::newRow("infinities") << SampleStore::Unlimited << 30000 << "inf";
}

// The block extremes give what a scan of every value gives: the first lowest and highest
// (NaN left out) and the finite range, over ranges that start and end anywhere.
void SampleStoreTest::blockExtremesMatchAScan()
{
    QFETCH(quint64, capacity);
    QFETCH(int, samples);
    QFETCH(QString, values);
    const float inf = std::numeric_limits<float>::infinity();
    SampleStore store(capacity);
    QRandomGenerator random{quint32(samples)};
    for (int i = 0; i < samples; ++i) {
        float v = float(random.bounded(200.0) - 100);
        if (values == QLatin1String("steps"))
            v = float((i / 300) % 5);
        else if (values == QLatin1String("nan") && (i / 700) % 3 == 0)
            v = std::numeric_limits<float>::quiet_NaN();
        else if (values == QLatin1String("inf") && i % 1000 == 0)
            v = i % 2000 ? inf : -inf;
        store.append(0, v, 0);
    }
    const SampleStore::Series s = store.series(0);
    for (int k = 0; k < 300; ++k) {
        quint64 from = s.first() + random.bounded(quint32(s.size()));
        quint64 to = s.first() + random.bounded(quint32(s.size() + 1));
        if (k < 3) // the whole ring
            from = s.first(), to = s.end();
        if (from > to)
            std::swap(from, to);
        quint64 lowAt = 0, highAt = 0, scanLow = 0, scanHigh = 0;
        float low = 0, high = 0, finiteLow = 0, finiteHigh = 0;
        bool any = false, anyFinite = false;
        for (quint64 n = from; n < to; ++n) {
            const float y = s.y(n);
            if (std::isnan(y))
                continue;
            if (!any || y < s.y(scanLow))
                scanLow = n;
            if (!any || y > s.y(scanHigh))
                scanHigh = n;
            any = true;
            if (std::isfinite(y)) {
                finiteLow = anyFinite ? std::min(finiteLow, y) : y;
                finiteHigh = anyFinite ? std::max(finiteHigh, y) : y;
                anyFinite = true;
            }
        }
        const QString where = QStringLiteral("[%1, %2)").arg(from).arg(to);
        QVERIFY2(s.extremes(from, to, lowAt, highAt) == any, qPrintable(where));
        QVERIFY2(s.finiteRange(from, to, low, high) == anyFinite, qPrintable(where));
        if (any)
            QVERIFY2(lowAt == scanLow && highAt == scanHigh, qPrintable(where));
        if (anyFinite)
            QVERIFY2(low == finiteLow && high == finiteHigh, qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(SampleStoreTest)
#include "tst_samplestore.moc"
