#pragma once

#include <QString>
#include <QVector>

#include <optional>

// What a tavrino-step run found, in the units its report uses (milliseconds, the board's
// values). Each part is empty where it was not asked for or not found.
struct StepResult
{
    struct Gains
    {
        double p = 0;
        double i = 0;
        double d = 0;
    };

    struct Figures
    {
        double from = 0; // the actual value at the step's first sample
        double to = 0;   // the target
        std::optional<double> riseMs;
        std::optional<double> peakMs;
        std::optional<double> overshootPercent;
        std::optional<double> settlingMs; // none: it never settled
        std::optional<double> steadyStateError;
    };

    // One sample of the channel: milliseconds since the run's start frame.
    struct Sample
    {
        double timeMs = 0;
        float actual = 0;
        float target = 0;
    };

    struct Run
    {
        QVector<Sample> samples; // every sample of the channel the run received
        int stepStart = -1;      // index of the step window's first sample; -1: no step seen
        int stepLength = 0;      // samples in the step window
        std::optional<Figures> figures;
        std::optional<double> samplePeriodMs;
        double settlingBand = 0.02; // the analyzer's, a fraction of the step
        bool settled = false;       // stopped because it settled and stayed settled
    };

    struct Model
    {
        double gain = 0; // actual per unit of controller output
        double timeConstantMs = 0;
        double deadTimeMs = 0;
        double fitPercent = 0;
    };

    struct Predicted
    {
        std::optional<double> riseMs;
        std::optional<double> overshootPercent;
        std::optional<double> settlingMs;
    };

    struct Suggestion
    {
        QString aim; // robust, balanced, fast
        Gains gains;
        Predicted predicted;
        // The predicted actual values at the step's sample times, from its first sample.
        QVector<double> trace;
    };

    struct Applied
    {
        QString aim;
        Gains gains;
        Run run;
        Predicted predicted;
        QVector<double> predictedTrace;
        std::optional<double> predictionFitPercent;
    };

    int channel = 0;            // 0..3
    std::optional<Gains> gains; // in force during the first step
    Run first;
    std::optional<Model> model;
    bool suggestionsAsked = false;
    QVector<Suggestion> suggestions;
    std::optional<Applied> applied;

    // The step the limits judge: the applied one where there is one.
    const Run &finalRun() const { return applied ? applied->run : first; }
};
