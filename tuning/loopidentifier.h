#pragma once

#include "tuning/controllerform.h"
#include "tuning/plantmodel.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

// What the identifier needs of one finished step window.
struct StepData
{
    // Actual values from the window's first sample (the first after the target changed, or the
    // run's first), in order; the target was `target` throughout.
    QVector<double> actual;
    double target = 0.0;
    double samplePeriodS = 0.0; // measured from the samples' arrival
    // The gains in force during the window, in the board's form; unknown ones make the
    // identifier ask for a read.
    bool gainsKnown = false;
    ControllerForm::Gains gains;
    // The controller's output before the window: 0 for a window that starts a run (the loop
    // starts from rest). For a target change inside a running loop, the steady output before.
    double initialOutput = 0.0;
    // The controller was already running before the window's first sample (a target change in
    // a run), so the first sample already has a derivative.
    bool running = false;
};

// Fits a first-order-plus-dead-time model to one step window by simulating the closed loop
// with the controller that ran (ClosedLoop) and minimising the squared error with several
// Nelder-Mead starts: gain, time constant, dead time (between samples too) and rest level.
// The fit is NRMSE percent, 100 * (1 - |y - yhat| / |y - mean(y)|).
//
// Refuses, with a reason to show, a window
//  - with unknown gains (read P, I, D first), or with P and I both zero (nothing acts);
//  - with fewer than MinSamples samples after the step, or with values that are not finite;
//  - whose step is below StepToNoise times the noise (no real step);
//  - whose best fit is below MinFitPercent.
class LoopIdentifier
{
    Q_DECLARE_TR_FUNCTIONS(LoopIdentifier)

public:
    static constexpr int MinSamples = 20;
    static constexpr double StepToNoise = 5.0;
    static constexpr double MinFitPercent = 60.0;

    using Model = PlantModel;

    struct Result
    {
        bool ok = false;
        QString refusal; // why not, when !ok
        Model model;
        double fitPercent = 0.0;
        QVector<double> fitted; // the simulated window with the model, as long as the window
        // Standard deviation of the measurement noise, estimated from the window.
        double noise = 0.0;
        int evaluations = 0; // closed-loop simulations it took
    };

    static Result identify(const StepData &data, const ControllerForm &form);

    // The NRMSE fit in percent of `fitted` to `measured` (same length); -inf for a flat
    // measurement, 100 for an exact one.
    static double fitPercent(const QVector<double> &measured, const QVector<double> &fitted);
    // Measurement noise of a window: the spread of its last fifth around a straight line,
    // from successive differences (robust to a slow drift).
    static double noiseOf(const QVector<double> &values);
};
