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
    primed = false;
    lastOutput = 0.0;
}

double PidController::update(double target, double measured, double dt)
{
    if (!(dt > 0.0) || !std::isfinite(target) || !std::isfinite(measured))
        return lastOutput;

    const double error = target - measured;
    if (primed) {
        const double raw = (measured - previousMeasured) / dt;
        const double a = dt / (DerivativeFilter + dt);
        derivative += a * (raw - derivative);
    }
    previousMeasured = measured;
    primed = true;

    const double unclamped = kp * error + iTerm - kd * derivative;
    const double out = std::clamp(unclamped, minOut, maxOut);

    // Integrate only while that does not push further into a limit the output already hit.
    const bool pinnedHigh = unclamped >= maxOut && error > 0.0;
    const bool pinnedLow = unclamped <= minOut && error < 0.0;
    if (!pinnedHigh && !pinnedLow)
        iTerm = std::clamp(iTerm + ki * error * dt, minOut, maxOut);

    lastOutput = out;
    return out;
}
