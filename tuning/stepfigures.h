#pragma once

#include <QVector>

#include <optional>

// Step-response figures of a sampled response, computed as the chart's step analysis
// computes them: y0 is values[0], progress p(k) = (values[k] - y0) / (target - y0);
//  - rise: first k with p >= 0.9 minus first k with p >= 0.1;
//  - overshoot: max(0, max p - 1) * 100 %, peak at the first largest p;
//  - settling: the smallest m with |p(k) - 1| <= band for every k >= m, none while the last
//    value is outside the band.
struct StepFigures
{
    std::optional<int> riseSamples;
    std::optional<int> peakSamples;
    double overshootPercent = 0.0;
    std::optional<int> settlingSamples;

    // The settling band the chart's analysis uses, as a fraction of the step.
    static constexpr double DefaultBand = 0.02;

    // Nothing (all empty, overshoot 0) when the step is below 1e-9 or not finite.
    static StepFigures of(const QVector<double> &values, double target, double band = DefaultBand);
};
