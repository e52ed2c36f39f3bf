#include "tools/boardsim/pidcontroller.h"

#include <algorithm>
#include <cmath>

namespace {
// Time constant of the derivative's low-pass, in seconds: takes the edge off measurement noise.
constexpr double DerivativeFilter = 0.02;
} // namespace

PidController::PidController(double outputMin, double outputMax)
    : minOut(std::min(outputMin, outputMax)), maxOut(std::max(outputMin, outputMax))
{
}

void PidController::setGains(double p, double i, double d)
{
    // A gain that is not a number would poison the loop for good; treat it as zero.
    kp = std::isfinite(p) ? p : 0.0;
    ki = std::isfinite(i) ? i : 0.0;
    kd = std::isfinite(d) ? d : 0.0;
}

void PidController::setForm(bool perSample, bool derivativeOnError)
{
    samples = perSample;
    onError = derivativeOnError;
}

void PidController::setLimits(double outputMin, double outputMax)
{
    minOut = std::min(outputMin, outputMax);
    maxOut = std::max(outputMin, outputMax);
    iTerm = std::clamp(iTerm, minOut, maxOut);
}

void PidController::reset()
{
    iTerm = 0.0;
    derivative = 0.0;
    previousMeasured = 0.0;
    previousError = 0.0;
    primed = false;
    lastOutput = 0.0;
}

double PidController::update(double target, double measured, double dt)
{
    if (!(dt > 0.0) || !std::isfinite(target) || !std::isfinite(measured))
        return lastOutput;

    const double error = target - measured;
    // Per sample, time counts in periods: the same law with a period of one.
    const double step = samples ? 1.0 : dt;
    if (primed) {
        const double change = onError ? error - previousError : measured - previousMeasured;
        const double a = samples ? 1.0 : dt / (DerivativeFilter + dt);
        derivative += a * (change / step - derivative);
    }
    previousMeasured = measured;
    previousError = error;
    primed = true;

    const double unclamped = kp * error + iTerm + (onError ? kd : -kd) * derivative;
    const double out = std::clamp(unclamped, minOut, maxOut);

    // Integrate only while that does not push further into a limit the output already hit.
    const bool pinnedHigh = unclamped >= maxOut && error > 0.0;
    const bool pinnedLow = unclamped <= minOut && error < 0.0;
    if (!pinnedHigh && !pinnedLow)
        iTerm = std::clamp(iTerm + ki * error * step, minOut, maxOut);

    lastOutput = out;
    return out;
}
