#pragma once

#include <QString>
#include <QStringList>

// The label format of a value axis from `min` to `max` with `tickCount` ticks. Empty (the
// chart's own fixed-point labels) for everyday ranges; for very large magnitudes or very fine
// steps a "%.Ng" format with just the significant digits that tell the ticks apart, so that
// ±3.4e38 reads "3.4e+38" rather than forty digits.
QString axisLabelFormat(double min, double max, int tickCount);

// The labels a value axis with fixed ticks shows from `min` to `max`: fixed point with one
// decimal more than the step needs for an empty `format`, otherwise the printf `format` with
// the value as an integer or a double as its conversion asks. A format without a conversion
// gives empty labels.
QStringList axisTickLabels(double min, double max, int tickCount, const QString &format);
