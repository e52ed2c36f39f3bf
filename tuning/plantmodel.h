#pragma once

// A first-order-plus-dead-time process, as the tuning assistant identifies it: the measurement
// relaxes towards rest + gain * u(t - deadTimeS) with the time constant timeConstantS.
struct PlantModel
{
    double gain = 1.0;          // steady-state change of the measurement per unit of output
    double timeConstantS = 1.0; // seconds
    double deadTimeS = 0.0;     // seconds; need not be a whole number of samples
    // The measurement with zero output. A window that starts from rest (a run's start) starts
    // here; one that starts elsewhere starts in equilibrium with StepData::initialOutput.
    double rest = 0.0;

    bool isValid() const
    {
        return gain == gain && gain != 0.0 && timeConstantS > 0.0 && deadTimeS >= 0.0 &&
               rest == rest && gain < 1e300 && timeConstantS < 1e300 && deadTimeS < 1e300;
    }
};
