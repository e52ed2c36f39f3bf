#include "chart/roundticks.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr double Mantissas[] = {1.0, 2.0, 2.5, 5.0};

// The round step at or above `raw`.
double stepAtLeast(double raw)
{
    double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (;;) {
        for (double m : Mantissas) {
            // A hair of tolerance: 0.3 / 0.1 is 2.9999999999999996.
            if (m * decade >= raw * (1 - 1e-12))
                return m * decade;
        }
        decade *= 10;
    }
}

// A range of `step`s from a multiple of it near `start`.
RoundTicks::Range aligned(double start, double step)
{
    const double first = std::floor(start / step + 1e-9) * step;
    return {first, first + RoundTicks::Intervals * step, step};
}

bool usable(double low, double high)
{
    return std::isfinite(low) && std::isfinite(high) && high > low &&
           std::isfinite((high - low) / RoundTicks::Intervals);
}

} // namespace

double RoundTicks::nextStep(double step, int direction)
{
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-12));
    const double m = step / decade;
    const auto at = std::find_if(std::begin(Mantissas), std::end(Mantissas),
                                 [m](double v) { return std::fabs(v - m) < 1e-9; });
    if (at == std::end(Mantissas))
        return direction > 0 ? stepAtLeast(step * (1 + 1e-9)) : stepAtLeast(step) / 2.5;
    const std::ptrdiff_t i = at - std::begin(Mantissas);
    if (direction > 0)
        return i + 1 < std::ptrdiff_t(std::size(Mantissas)) ? Mantissas[i + 1] * decade
                                                            : 10 * decade;
    return i > 0 ? Mantissas[i - 1] * decade : 0.5 * decade;
}

RoundTicks::Range RoundTicks::widen(double low, double high, double minimumStep)
{
    if (!usable(low, high))
        return {low, high, 0.0};
    double step = stepAtLeast(std::max((high - low) / Intervals, minimumStep));
    // The aligned start can leave the top out; the next step up holds it.
    for (;;) {
        const Range r = aligned(low, step);
        if (r.max >= high - 1e-9 * step)
            return r;
        step = nextStep(step, +1);
    }
}

RoundTicks::Range RoundTicks::snap(double low, double high)
{
    if (!usable(low, high))
        return {low, high, 0.0};
    const double step = (high - low) / Intervals;
    if (std::fabs(stepAtLeast(step) - step) > 1e-9 * step)
        return {low, high, step};
    const double first = std::round(low / step) * step;
    return {first, first + Intervals * step, step};
}

RoundTicks::Range RoundTicks::symmetric(double half)
{
    if (!(half > 0) || !std::isfinite(half))
        return {-half, half, 0.0};
    const double step = stepAtLeast(2 * half / Intervals);
    return {-step * Intervals / 2, step * Intervals / 2, step};
}

RoundTicks::Range RoundTicks::zoom(double low, double high, double centre, double factor,
                                   double minimumStep)
{
    if (!usable(low, high) || !(factor > 0) || !std::isfinite(centre))
        return {low, high, 0.0};
    const double before = (high - low) / Intervals;
    const double newLow = centre - (centre - low) * factor;
    const double newHigh = centre + (high - centre) * factor;
    Range r = widen(newLow, newHigh, minimumStep);
    const bool stuck = factor < 1 ? r.step >= before * (1 - 1e-9) : r.step <= before * (1 + 1e-9);
    if (factor == 1 || !stuck)
        return r;
    const double step = std::max(nextStep(stepAtLeast(before), factor < 1 ? -1 : +1),
                                 minimumStep > 0 ? stepAtLeast(minimumStep) : 0.0);
    if (factor < 1 && step >= before * (1 - 1e-9))
        return {low, high, before}; // already at the smallest step
    // The centre at the same fraction of the new range, rounded to a whole step.
    const double fraction = (centre - low) / (high - low);
    r = aligned(centre - fraction * Intervals * step + step / 2, step);
    return r;
}
