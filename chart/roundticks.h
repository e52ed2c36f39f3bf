#pragma once

// Axis ranges whose evenly spaced ticks land on round values. The chart keeps a fixed count of
// ticks (Intervals + 1); a range becomes Intervals steps of 1, 2, 2.5 or 5 times a power of
// ten, starting at a multiple of the step. The 2.5 keeps the widening small: the start's
// -100..100 (steps of 25) is already round.
class RoundTicks
{
public:
    static constexpr int Intervals = 8;

    struct Range
    {
        double min;
        double max;
        double step;
    };

    // The smallest round range that holds [low, high]; no step below `minimumStep`. A range
    // that is empty or not finite comes back as it is, with step 0.
    static Range widen(double low, double high, double minimumStep = 0.0);

    // The smallest round range from -h to h with h >= half (the vertical scroll bar's).
    static Range symmetric(double half);

    // [low, high] scaled by `factor` around `centre` (a wheel notch: below 1 zooms in) and
    // made round. The step always moves the way `factor` says, so a small zoom is never
    // rounded back to the range it started from; the centre keeps its place within a step.
    static Range zoom(double low, double high, double centre, double factor,
                      double minimumStep = 0.0);

    // A pan's end: where the step is round already the range moves to the nearest multiple
    // of it, by less than half a step; any other range stays as it is.
    static Range snap(double low, double high);

    // The round step next to `step` up (direction > 0) or down.
    static double nextStep(double step, int direction);
};
