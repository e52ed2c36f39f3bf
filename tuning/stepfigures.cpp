#include "tuning/stepfigures.h"

#include <cmath>

StepFigures StepFigures::of(const QVector<double> &values, double target, double band)
{
    StepFigures f;
    if (values.isEmpty())
        return f;
    const double y0 = values.first();
    const double delta = target - y0;
    if (!std::isfinite(delta) || std::fabs(delta) < 1e-9)
        return f;
    int rise10 = -1;
    int rise90 = -1;
    double maxProgress = 0.0;
    int peak = 0;
    int lastOutside = -1;
    for (int k = 0; k < values.size(); ++k) {
        const double p = (values[k] - y0) / delta;
        if (rise10 < 0 && p >= 0.1)
            rise10 = k;
        if (rise90 < 0 && p >= 0.9)
            rise90 = k;
        if (p > maxProgress) {
            maxProgress = p;
            peak = k;
        }
        // NaN lies outside the band.
        if (!(std::fabs(p - 1.0) <= band))
            lastOutside = k;
    }
    if (rise90 >= 0)
        f.riseSamples = rise90 - rise10;
    f.peakSamples = peak;
    f.overshootPercent = std::max(0.0, maxProgress - 1.0) * 100.0;
    if (lastOutside < values.size() - 1)
        f.settlingSamples = lastOutside + 1;
    return f;
}
