#include "chart/axislabels.h"

#include <algorithm>
#include <cmath>

namespace {
// Beyond these the fixed-point labels run past eight characters.
constexpr double LargestFixed = 1e7;
constexpr double FinestFixedStep = 1e-5;
} // namespace

QString axisLabelFormat(double min, double max, int tickCount)
{
    const double step = (max - min) / std::max(1, tickCount - 1);
    const double magnitude = std::max(std::fabs(min), std::fabs(max));
    if (!std::isfinite(step) || !(step > 0.0) || !std::isfinite(magnitude) ||
        (magnitude < LargestFixed && step >= FinestFixedStep))
        return QString();
    // The digits from the largest value's first down to one below the step's, as the
    // fixed-point labels show one decimal more than the step needs.
    const int digits =
        int(std::floor(std::log10(magnitude))) - int(std::floor(std::log10(step))) + 2;
    return QStringLiteral("%.%1g").arg(std::clamp(digits, 2, 12));
}
