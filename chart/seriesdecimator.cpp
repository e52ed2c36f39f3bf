#include "chart/seriesdecimator.h"

#include <algorithm>
#include <cmath>

namespace {

// A sorted point vector read like a store series.
class VectorPoints
{
public:
    explicit VectorPoints(const QVector<QPointF> &p) : points(p) {}
    quint64 first() const { return 0; }
    quint64 end() const { return quint64(points.size()); }
    QPointF at(quint64 i) const { return points.at(int(i)); }
    quint64 lowerBound(double x) const
    {
        return quint64(std::lower_bound(points.cbegin(), points.cend(), x,
                                        [](const QPointF &p, double v) { return p.x() < v; }) -
                       points.cbegin());
    }
    quint64 upperBound(double x) const
    {
        return quint64(std::upper_bound(points.cbegin(), points.cend(), x,
                                        [](double v, const QPointF &p) { return v < p.x(); }) -
                       points.cbegin());
    }

private:
    const QVector<QPointF> &points;
};

// Values one x step apart, from firstX on.
class NumberedValues
{
public:
    NumberedValues(const QVector<float> &v, qint64 x0) : values(v), firstX(x0) {}
    quint64 first() const { return 0; }
    quint64 end() const { return quint64(values.size()); }
    QPointF at(quint64 i) const
    {
        return QPointF(double(firstX + qint64(i)), double(values.at(int(i))));
    }
    quint64 lowerBound(double x) const { return index(std::ceil(x - double(firstX))); }
    quint64 upperBound(double x) const { return index(std::floor(x - double(firstX)) + 1); }

private:
    quint64 index(double i) const
    {
        if (!(i > 0)) // also NaN
            return 0;
        return i >= double(values.size()) ? end() : quint64(i);
    }

    const QVector<float> &values;
    qint64 firstX;
};

// Points that keep no block extremes are read one by one.
template <typename Points>
bool reduceByBlocks(const Points &, quint64, quint64, double, double, int, QVector<QPointF> &)
{
    return false;
}

// The same columns as the scan in reduce(), each found by a binary search for its end, and its
// lowest and highest point from the store's block extremes: the cost follows the columns, not
// the points, once a column spans a few blocks.
bool reduceByBlocks(const SampleStore::Series &points, quint64 first, quint64 last, double xMin,
                    double scale, int columns, QVector<QPointF> &out)
{
    if (last - first < 4 * SampleStore::Ring::BlockSize * quint64(columns))
        return false;
    const auto columnOf = [&](quint64 i) {
        return std::min(columns - 1, int((points.x(i) - xMin) * scale));
    };
    for (quint64 start = first; start < last;) {
        const int column = columnOf(start);
        quint64 lo = start + 1;
        quint64 hi = last;
        while (lo < hi) {
            const quint64 mid = lo + (hi - lo) / 2;
            if (columnOf(mid) > column)
                hi = mid;
            else
                lo = mid + 1;
        }
        quint64 lowAt = 0;
        quint64 highAt = 0;
        if (points.extremes(start, lo, lowAt, highAt)) {
            out.append(points.at(std::min(lowAt, highAt)));
            if (lowAt != highAt)
                out.append(points.at(std::max(lowAt, highAt)));
        }
        start = lo;
    }
    return true;
}

template <typename Points>
void reduce(const Points &points, double xMin, double xMax, int columns, QVector<QPointF> &out)
{
    out.resize(0);
    const quint64 first = points.lowerBound(xMin);
    const quint64 last = points.upperBound(xMax);
    const quint64 begin = first > points.first() ? first - 1 : points.first();
    const quint64 end = last < points.end() ? last + 1 : points.end();
    if (begin >= end)
        return;

    const quint64 inside = last > first ? last - first : 0;
    const double span = xMax - xMin;
    if (columns < 1 || inside <= 2 * quint64(columns) || !(span > 0)) {
        out.reserve(int(end - begin));
        for (quint64 i = begin; i < end; ++i)
            out.append(points.at(i));
        return;
    }

    out.reserve(2 * columns + 2);
    if (begin < first)
        out.append(points.at(begin));

    int column = -1;
    bool any = false; // the column has a point that is a number
    QPointF low;
    QPointF high;
    quint64 lowIndex = 0;
    quint64 highIndex = 0;
    const auto flush = [&]() {
        if (!any)
            return;
        if (lowIndex == highIndex) {
            out.append(low);
        } else if (lowIndex < highIndex) {
            out.append(low);
            out.append(high);
        } else {
            out.append(high);
            out.append(low);
        }
    };
    const double scale = columns / span;
    if (reduceByBlocks(points, first, last, xMin, scale, columns, out)) {
        if (last < end)
            out.append(points.at(last));
        return;
    }
    for (quint64 i = first; i < last; ++i) {
        const QPointF p = points.at(i);
        const int c = std::min(columns - 1, int((p.x() - xMin) * scale));
        if (c != column) {
            flush();
            column = c;
            any = false;
        }
        const double y = p.y();
        if (std::isnan(y))
            continue;
        if (!any) {
            any = true;
            low = high = p;
            lowIndex = highIndex = i;
            continue;
        }
        if (y < low.y()) {
            low = p;
            lowIndex = i;
        }
        if (y > high.y()) {
            high = p;
            highIndex = i;
        }
    }
    flush();

    if (last < end)
        out.append(points.at(last));
}

} // namespace

void SeriesDecimator::visiblePoints(const QVector<QPointF> &points, double xMin, double xMax,
                                    int columns, QVector<QPointF> &out)
{
    reduce(VectorPoints(points), xMin, xMax, columns, out);
}

void SeriesDecimator::visiblePoints(const SampleStore::Series &points, double xMin, double xMax,
                                    int columns, QVector<QPointF> &out)
{
    reduce(points, xMin, xMax, columns, out);
}

void SeriesDecimator::visiblePoints(const QVector<float> &values, qint64 firstX, double xMin,
                                    double xMax, int columns, QVector<QPointF> &out)
{
    reduce(NumberedValues(values, firstX), xMin, xMax, columns, out);
}

bool SeriesDecimator::samePoints(const QVector<QPointF> &a, const QVector<QPointF> &b)
{
    return a.size() == b.size() &&
           std::equal(a.cbegin(), a.cend(), b.cbegin(), [](const QPointF &p, const QPointF &q) {
               return p.x() == q.x() && p.y() == q.y();
           });
}
