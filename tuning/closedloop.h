#pragma once

#include "tuning/controllerform.h"
#include "tuning/plantmodel.h"

#include <QVector>

// One control loop simulated in discrete time: the controller as ControllerForm states it,
// driving a first-order-plus-dead-time plant held constant over each sample period (exactly
// discretised, dead time between samples included). Noise-free.
//
// Sample k of the result is the measurement after the (k+1)-th control period, as a board
// reports it: the controller acts on the measurement before, then the plant advances.
class ClosedLoop
{
public:
    struct Setup
    {
        PlantModel plant;
        ControllerForm form;
        ControllerForm::Gains gains; // in the form's own units
        double samplePeriodS = 0.01;
        double target = 0.0;
        // The output before the window: the plant starts in equilibrium with it, the integral
        // holds it (0: the loop starts from rest, as at a run's start, integral empty).
        double initialOutput = 0.0;
        // Whether the controller has a previous measurement at sample 0 (a loop already
        // running); a run's start has none, so its first period has no derivative.
        bool running = false;
    };

    // `samples` measurements; empty for an invalid setup or samples <= 0.
    static QVector<double> simulate(const Setup &setup, int samples);
    // The same into `out` (resized), without allocating when it is large enough; also the
    // outputs when `outputs` is given. Returns false (and leaves `out` empty) for an invalid
    // setup.
    static bool simulate(const Setup &setup, int samples, QVector<double> &out,
                         QVector<double> *outputs = nullptr);
};
