#pragma once

#include "tuning/controllerform.h"
#include "tuning/plantmodel.h"
#include "tuning/stepfigures.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <array>

// Three gain suggestions for an identified model, in the board's form: 稳健 (no overshoot,
// Ms <= 1.4), 均衡 (overshoot <= 5 %, Ms <= 1.6) and 快速 (overshoot <= 15 %, Ms <= 2.0).
// Each starts from the established rules (SIMC and AMIGO for first order plus dead time) and is
// refined with Nelder-Mead on the closed loop simulated with the model and the form (limits
// included) for the fastest settling the constraints allow. Ms is the maximum sensitivity
// max |1 / (1 + C(z) P(z))| over the frequencies up to Nyquist, of the discrete loop.
// Measurement noise limits the gain too (Step::noise). Gains come out finite and never negative; a
// model with a negative gain gets no suggestions.
class TuningRules
{
    Q_DECLARE_TR_FUNCTIONS(TuningRules)

public:
    enum class Aim { Robust, Balanced, Fast };
    static constexpr int AimCount = 3;
    static constexpr double NoiseShare = 0.02;

    struct Constraints
    {
        double maxOvershootPercent;
        double maxSensitivity; // Ms
    };
    static Constraints constraintsOf(Aim aim);
    // "稳健", "均衡", "快速".
    static QString aimName(Aim aim);

    // The step the suggestion is predicted for: the identified window's start and target.
    struct Step
    {
        double start = 0.0;  // the measurement at the window's start
        double target = 1.0; // its target
        double samplePeriodS = 0.01;
        int samples = 0;            // length of the predicted trace; 0: long enough to settle
        double initialOutput = 0.0; // as StepData::initialOutput
        bool running = false;       // as StepData::running
        double band = StepFigures::DefaultBand; // the settling band, a fraction of the step
        // Standard deviation of the measurement noise (LoopIdentifier::Result::noise). With
        // output limits, the controller's gain at high frequencies is kept so low that the
        // noise moves the output by at most NoiseShare of its range.
        double noise = 0.0;
    };

    struct Suggestion
    {
        Aim aim = Aim::Balanced;
        bool ok = false;
        QString refusal;
        double p = 0.0; // in the form's units
        double i = 0.0;
        double d = 0.0;
        StepFigures predicted;       // on the model
        double samplePeriodS = 0.01; // for the figures in seconds
        double sensitivity = 0.0;    // Ms of the suggestion with the model
        QVector<double> trace;       // the predicted measurement, sample by sample
    };

    // The band a noise-free trace is judged in to predict the settling a noisy step will show:
    // the measured one ends only once the noise no longer carries it out of `band`, so judge
    // it one standard deviation of the noise inside (at most half the band). `noise` and
    // `stepSize` in the measurement's units.
    static double predictionBand(double band, double noise, double stepSize);

    static std::array<Suggestion, AimCount> suggest(const PlantModel &model,
                                                    const ControllerForm &form, const Step &step);
    // Ms of per-form gains with the model at this sample period, on a frequency grid up to
    // Nyquist (stability itself is judged on the simulated step).
    static double maxSensitivity(const PlantModel &model, const ControllerForm &form,
                                 const ControllerForm::Gains &gains, double samplePeriodS);

private:
    struct Frequencies;
};
