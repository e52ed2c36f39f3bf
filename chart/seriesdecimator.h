#pragma once

#include "chart/samplestore.h"

#include <QPointF>
#include <QVector>

// Chooses what a line series must hold to draw the part of a sample buffer that lies inside
// [xMin, xMax] on a plot `columns` pixels wide: the points inside plus the neighbour beyond
// each edge (so lines reach the border), and where more than two points fall into one pixel
// column only that column's lowest and highest point, in their original order. Lines drawn
// through the result cover the same pixels as lines through every point. Only the points
// inside the range and their two neighbours are read.
class SeriesDecimator
{
public:
    // `points` must be sorted by x (ties allowed). `out` is replaced, its capacity reused.
    static void visiblePoints(const QVector<QPointF> &points, double xMin, double xMax, int columns,
                              QVector<QPointF> &out);
    // The same for a series of the chart's sample store, read in place.
    static void visiblePoints(const SampleStore::Series &points, double xMin, double xMax,
                              int columns, QVector<QPointF> &out);
    // The same for values at x = firstX, firstX + 1, ...
    static void visiblePoints(const QVector<float> &values, qint64 firstX, double xMin, double xMax,
                              int columns, QVector<QPointF> &out);

    // Exactly the same points, NaN never: a line holding NaN is simply drawn again.
    static bool samePoints(const QVector<QPointF> &a, const QVector<QPointF> &b);
};
