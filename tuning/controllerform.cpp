#include "tuning/controllerform.h"

#include <cmath>

ControllerForm ControllerForm::simulatedBoard(int channel)
{
    ControllerForm form;
    if (channel >= 2) {
        // The heaters cannot cool.
        form.outputMin = 0.0;
        form.outputMax = 100.0;
    }
    return form;
}

bool ControllerForm::isValid() const
{
    if (!std::isfinite(derivativeFilterS) || derivativeFilterS < 0.0)
        return false;
    return !limited ||
           (std::isfinite(outputMin) && std::isfinite(outputMax) && outputMin < outputMax);
}

ControllerForm::Gains ControllerForm::toPerSecond(const Gains &gains, double samplePeriodS) const
{
    if (timing == Timing::PerSecond)
        return gains;
    // I * sum(e) = (I / dt) * sum(e * dt); D * (e - e_prev) = (D * dt) * (e - e_prev) / dt.
    return Gains{gains.p, gains.i / samplePeriodS, gains.d * samplePeriodS};
}

ControllerForm::Gains ControllerForm::fromPerSecond(const Gains &gains, double samplePeriodS) const
{
    if (timing == Timing::PerSecond)
        return gains;
    return Gains{gains.p, gains.i * samplePeriodS, gains.d / samplePeriodS};
}

QString ControllerForm::timingName() const
{
    return timing == Timing::PerSecond ? tr("每秒") : tr("每采样");
}
