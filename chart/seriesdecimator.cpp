#include "chart/seriesdecimator.h"

#include <algorithm>
#include <cmath>

void SeriesDecimator::visiblePoints(const QVector<QPointF> &points, double xMin, double xMax,
                                    int columns, QVector<QPointF> &out)
{
    out.resize(0);
    const auto byX = [](const QPointF &p, double x) { return p.x() < x; };
    const auto xBefore = [](double x, const QPointF &p) { return x < p.x(); };
    const int first =
        int(std::lower_bound(points.cbegin(), points.cend(), xMin, byX) - points.cbegin());
    const int last =
        int(std::upper_bound(points.cbegin(), points.cend(), xMax, xBefore) - points.cbegin());
    const int begin = std::max(first - 1, 0);
    const int end = std::min(last + 1, int(points.size()));
    if (begin >= end)
        return;

    const int inside = last - first;
    const double span = xMax - xMin;
    if (columns < 1 || inside <= 2 * columns || !(span > 0)) {
        out.reserve(end - begin);
        for (int i = begin; i < end; ++i)
            out.append(points.at(i));
        return;
    }

    out.reserve(2 * columns + 2);
    if (begin < first)
        out.append(points.at(begin));

    int column = -1;
    int lowIndex = -1;
    int highIndex = -1;
    const auto flush = [&]() {
        if (lowIndex < 0)
            return;
        const int a = std::min(lowIndex, highIndex);
        const int b = std::max(lowIndex, highIndex);
        out.append(points.at(a));
        if (b != a)
            out.append(points.at(b));
    };
    const double scale = columns / span;
    for (int i = first; i < last; ++i) {
        const QPointF &p = points.at(i);
        const int c = std::min(columns - 1, int((p.x() - xMin) * scale));
        if (c != column) {
            flush();
            column = c;
            lowIndex = highIndex = -1;
        }
        const double y = p.y();
        if (std::isnan(y))
            continue;
        if (lowIndex < 0) {
            lowIndex = highIndex = i;
            continue;
        }
        if (y < points.at(lowIndex).y())
            lowIndex = i;
        if (y > points.at(highIndex).y())
            highIndex = i;
    }
    flush();

    if (last < end)
        out.append(points.at(last));
}
