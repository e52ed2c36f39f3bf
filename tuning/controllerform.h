#pragma once

#include <QCoreApplication>
#include <QString>

// How a board runs its PID, stated once per channel, so that a model can be fitted with the
// controller that really ran and gains can be suggested in the units the board takes.
//
// Seconds (the simulated board's law): with the sample period dt,
//   d  += a * ((y - y_prev) / dt - d),  a = dt / (derivativeFilterS + dt)   (filtered rate)
//   out = clamp(P * e + integral - D * d)                 (D on the measurement; on the error
//                                                          the rate is of e and enters with +)
//   integral = clamp(integral + I * e * dt)               unless the output is pinned at a limit
//                                                          in the direction e pushes it
// Samples: the same with dt taken as 1 (integral += I * e, rate y - y_prev), the common
//   `integral += e; out = P*e + I*integral + D*(e - e_prev)` and its incremental form.
// The first period after a start has no rate (nothing to difference against).
// Without limits the output and the integral are never clamped.
struct ControllerForm
{
    Q_DECLARE_TR_FUNCTIONS(ControllerForm)

public:
    enum class Timing { PerSecond, PerSample };

    Timing timing = Timing::PerSecond;
    bool derivativeOnMeasurement = true;
    // Time constant of the derivative's low-pass in seconds; 0 for none.
    double derivativeFilterS = 0.02;
    bool limited = true;
    double outputMin = -100.0;
    double outputMax = 100.0;

    // What the simulated board runs on channel 0..3: per second, derivative on the measurement
    // through 0.02 s, limits -100..100 on channels 1 and 2 (motors), 0..100 on 3 and 4 (heaters).
    static ControllerForm simulatedBoard(int channel);

    // Limits, when set, finite with min < max; a finite, non-negative filter.
    bool isValid() const;
    // Per-second gains (the law above with dt in seconds) from this form's P, I, D, and back.
    struct Gains
    {
        double p = 0.0;
        double i = 0.0;
        double d = 0.0;
    };
    Gains toPerSecond(const Gains &gains, double samplePeriodS) const;
    Gains fromPerSecond(const Gains &gains, double samplePeriodS) const;

    // "每秒" / "每采样", for tables and status lines.
    QString timingName() const;
};
