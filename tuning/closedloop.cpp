#include "tuning/closedloop.h"

#include <algorithm>
#include <cmath>
#include <vector>

QVector<double> ClosedLoop::simulate(const Setup &setup, int samples)
{
    QVector<double> out;
    simulate(setup, samples, out);
    return out;
}

bool ClosedLoop::simulate(const Setup &setup, int samples, QVector<double> &out,
                          QVector<double> *outputs)
{
    const double dt = setup.samplePeriodS;
    const PlantModel &plant = setup.plant;
    const ControllerForm &form = setup.form;
    if (samples <= 0 || !(dt > 0.0) || !std::isfinite(dt) || !plant.isValid() || !form.isValid() ||
        !std::isfinite(setup.target) || !std::isfinite(setup.initialOutput)) {
        out.clear();
        if (outputs)
            outputs->clear();
        return false;
    }
    const ControllerForm::Gains g = form.toPerSecond(setup.gains, dt);
    if (!std::isfinite(g.p) || !std::isfinite(g.i) || !std::isfinite(g.d)) {
        out.clear();
        return false;
    }
    const double lo = form.limited ? form.outputMin : -HUGE_VAL;
    const double hi = form.limited ? form.outputMax : HUGE_VAL;

    // Dead time of m whole periods and a fraction f: over each period the plant sees the
    // output from m + 1 periods back for the first f of it, then the one from m periods back.
    const double delaySamples = std::min(plant.deadTimeS / dt, double(samples) + 1.0);
    const int m = int(std::floor(delaySamples));
    const double f = delaySamples - m;
    const double a = std::exp(-dt / plant.timeConstantS);
    const double late = std::exp(-(1.0 - f) * dt / plant.timeConstantS);
    const double b0 = plant.gain * (1.0 - late);
    const double b1 = plant.gain * (late - a);

    const double u0 = std::clamp(setup.initialOutput, lo, hi);
    // The outputs of the last m + 2 periods, a ring; the newest at `head`.
    std::vector<double> past(std::size_t(m) + 2, u0);
    std::size_t head = 0;
    const std::size_t size = past.size();

    double x = plant.gain * u0; // deviation from rest, in equilibrium with u0
    const double filter = form.derivativeFilterS > 0.0 ? dt / (form.derivativeFilterS + dt) : 1.0;
    double integral = std::clamp(u0, lo, hi);
    double rate = 0.0;
    bool primed = setup.running;
    double previousY = plant.rest + x;
    double previousE = 0.0;
    const double r = setup.target;

    out.resize(samples);
    if (outputs)
        outputs->resize(samples);
    double *y = out.data();
    for (int k = 0; k < samples; ++k) {
        const double measured = plant.rest + x;
        const double e = r - measured;
        if (primed) {
            const double raw =
                form.derivativeOnMeasurement ? (measured - previousY) / dt : (e - previousE) / dt;
            rate += filter * (raw - rate);
        }
        primed = true;
        previousY = measured;
        previousE = e;
        const double unclamped =
            g.p * e + integral + (form.derivativeOnMeasurement ? -g.d * rate : g.d * rate);
        const double u = std::clamp(unclamped, lo, hi);
        const bool pinnedHigh = unclamped >= hi && e > 0.0;
        const bool pinnedLow = unclamped <= lo && e < 0.0;
        if (!pinnedHigh && !pinnedLow)
            integral = std::clamp(integral + g.i * e * dt, lo, hi);

        head = head + 1 == size ? 0 : head + 1;
        past[head] = u;
        // m and m + 1 periods back from the newest.
        const std::size_t back0 = (head + size - std::size_t(m)) % size;
        const std::size_t back1 = (head + size - std::size_t(m) - 1) % size;
        x = a * x + b0 * past[back0] + b1 * past[back1];
        y[k] = plant.rest + x;
        if (outputs)
            (*outputs)[k] = u;
    }
    return true;
}
