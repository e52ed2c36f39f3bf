#pragma once

#include <QString>

// The label format of a value axis from `min` to `max` with `tickCount` ticks. Empty (the
// chart's own fixed-point labels) for everyday ranges; for very large magnitudes or very fine
// steps a "%.Ng" format with just the significant digits that tell the ticks apart, so that
// ±3.4e38 reads "3.4e+38" rather than forty digits.
QString axisLabelFormat(double min, double max, int tickCount);
