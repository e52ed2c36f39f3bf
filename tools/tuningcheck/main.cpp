// tavrino-tuningcheck: the tuning assistant measured on the simulated board, in simulated time.
// For each plant and controller form: a step with the gains before, the model identified from
// it, the balanced suggestion written, a second step; one Markdown table row per case, as
// docs/tuning.md shows them.

#include "chart/stepanalyzer.h"
#include "pidlink/pidframe.h"
#include "tools/boardsim/boardsimulator.h"
#include "tuning/loopidentifier.h"
#include "tuning/tuningrules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct Case
{
    int channel; // 0..3
    Plant::Model plant;
    double target;
    bool boardGains = false; // start from the board's own gains and target
};

QVector<double> run(BoardSimulator &board, int channel, int samples)
{
    board.stop();
    board.start();
    QVector<double> actual;
    actual.reserve(samples);
    for (int k = 0; k < samples; ++k) {
        board.advance();
        float v = 0;
        board.value(CmdActual, channel, &v);
        actual.append(double(v));
    }
    return actual;
}

// The step's figures as the window's analysis reports them (noise, smoothing, band).
StepAnalyzer::Figures analysed(const QVector<double> &actual, double target)
{
    StepAnalyzer analyzer;
    analyzer.beginRun();
    for (int k = 0; k < actual.size(); ++k)
        analyzer.addSample(0, k, float(actual[k]), float(target));
    return analyzer.figures(0);
}

template <typename Samples> QString seconds(const std::optional<Samples> &samples, double dt)
{
    return samples ? QString::number(double(*samples) * dt, 'f', 2) : QStringLiteral("—");
}

double within(double measured, double predicted)
{
    return predicted > 0 ? 100.0 * std::fabs(measured - predicted) / predicted : 0.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Written as UTF-8 whatever the locale says (τ, —).
    QString table;
    QTextStream out(&table);
    const double dt = 0.01;
    // Gain, time constant, dead time, rest, noise; noise as the channel's default.
    const auto plant = [](double k, double tau, double dead, double rest, double noise) {
        Plant::Model m;
        m.gain = k;
        m.timeConstant = tau;
        m.deadTime = dead;
        m.rest = rest;
        m.noise = noise;
        return m;
    };
    const QVector<Case> cases = {
        // The board as it starts: each channel with its own gains.
        {0, Plant::motor(), 100, true},
        {1, Plant::motor(), 60, true},
        {2, Plant::heater(), 60, true},
        {3, Plant::heater(), 80, true},
        {0, plant(0.5, 0.1, 0.05, 0, 0.5), 30},
        {0, plant(0.8, 0.4, 0.0, 0, 0.5), 50},
        {0, plant(3, 1.0, 0.2, 0, 0.5), 100},
        {0, plant(5, 2.0, 1.0, 0, 0.5), 150},
        {2, Plant::heater(), 60},
        {2, plant(2, 0.5, 0.25, 25, 0.15), 90},
    };

    out << QStringLiteral(
        "| form | true K, τ s, L s | identified K, τ s, L s | fit % | gains before "
        "(P, I, D) | balanced (P, I, D) | before: overshoot %, settling s | "
        "predicted: overshoot %, settling s | measured: overshoot %, settling s "
        "| prediction fit % | band %: before, measured |\n");
    out << "|---|---|---|---|---|---|---|---|---|---|---|\n";
    int failures = 0;
    double slowest = 0;
    for (const bool perSample : {false, true}) {
        for (const Case &c : cases) {
            // The board's own gains are for its own law, per second; per sample the same
            // numbers integrate a hundred times faster and the loops swing for good.
            if (c.boardGains && perSample)
                continue;
            BoardSimulator::Options options;
            options.sampleTime = dt;
            options.plants[std::size_t(c.channel)] = c.plant;
            options.perSampleForm = perSample;
            options.seed = 7;
            BoardSimulator board(options);
            ControllerForm form = ControllerForm::simulatedBoard(c.channel);
            if (perSample) {
                form.timing = ControllerForm::Timing::PerSample;
                form.derivativeFilterS = 0.0;
            }
            const Plant::Model &m = c.plant;
            // Gains before: a quick PI that overshoots, as a first guess by hand would.
            const double kp = 0.5 / m.gain;
            const double ti = std::max(0.5 * m.timeConstant, 2.0 * m.deadTime + 2 * dt);
            ControllerForm::Gains before =
                form.fromPerSecond(ControllerForm::Gains{kp, kp / ti, 0.0}, dt);
            if (c.boardGains) {
                const PidController &pid = board.controller(c.channel);
                before = {pid.p(), pid.i(), pid.d()};
            }
            board.setValue(CmdP, c.channel, float(before.p));
            board.setValue(CmdI, c.channel, float(before.i));
            board.setValue(CmdD, c.channel, float(before.d));
            board.setValue(CmdTarget, c.channel, float(c.target));
            // Every gain the board holds is a float, as on the line.
            before = {double(float(before.p)), double(float(before.i)), double(float(before.d))};
            const int samples =
                std::clamp(int(15.0 * (m.timeConstant + m.deadTime) / dt), 400, 6000);

            const QVector<double> first = run(board, c.channel, samples);
            StepData data;
            data.actual = first;
            data.target = c.target;
            data.samplePeriodS = dt;
            data.gainsKnown = true;
            data.gains = before;
            QElapsedTimer clock;
            clock.start();
            const LoopIdentifier::Result id = LoopIdentifier::identify(data, form);
            if (!id.ok) {
                out << "| " << form.timingName() << " | refused: " << id.refusal << " |\n";
                ++failures;
                continue;
            }
            // Predicted in the band the analyzer judged the step in, as the dock does.
            const StepAnalyzer::Figures was = analysed(first, c.target);
            TuningRules::Step step;
            step.start = id.model.rest;
            step.target = c.target;
            step.samplePeriodS = dt;
            step.samples = samples;
            step.band = was.settlingBand;
            step.noise = id.noise;
            const auto suggestions = TuningRules::suggest(id.model, form, step);
            slowest = std::max(slowest, double(clock.nsecsElapsed()) / 1e6);
            const TuningRules::Suggestion &balanced = suggestions[1];
            if (!balanced.ok) {
                out << "| refused: " << balanced.refusal << " |\n";
                ++failures;
                continue;
            }
            board.setValue(CmdP, c.channel, float(balanced.p));
            board.setValue(CmdI, c.channel, float(balanced.i));
            board.setValue(CmdD, c.channel, float(balanced.d));
            const QVector<double> second = run(board, c.channel, samples);
            const StepAnalyzer::Figures now = analysed(second, c.target);
            const StepFigures &predicted = balanced.predicted;
            const double predictionFit = LoopIdentifier::fitPercent(second, balanced.trace);

            const double kErr = std::fabs(id.model.gain / m.gain - 1) * 100;
            const double tErr = std::fabs(id.model.timeConstantS / m.timeConstant - 1) * 100;
            const double lErrSamples = std::fabs(id.model.deadTimeS - m.deadTime) / dt;
            const bool modelOk = kErr <= 20 && tErr <= 20 &&
                                 (lErrSamples <= 2 || lErrSamples * dt <= 0.2 * m.deadTime) &&
                                 id.fitPercent >= 90;
            const bool settledNoSlower =
                now.settlingSamples &&
                (!was.settlingSamples || *now.settlingSamples <= *was.settlingSamples);
            const bool tuneOk = now.overshootPercent.value_or(0) <= 10 && settledNoSlower &&
                                predicted.settlingSamples &&
                                within(*now.settlingSamples, *predicted.settlingSamples) <= 30 &&
                                predictionFit >= 85;
            if (!modelOk || !tuneOk)
                ++failures;
            const auto g3 = [](double v) { return QString::number(v, 'g', 3); };
            out << "| " << (perSample ? "samples" : "seconds") << " | "
                << (c.boardGains ? QStringLiteral("CH%1: ").arg(c.channel + 1) : QString())
                << g3(m.gain) << ", " << g3(m.timeConstant) << ", " << g3(m.deadTime) << " | "
                << g3(id.model.gain) << ", " << g3(id.model.timeConstantS) << ", "
                << g3(id.model.deadTimeS) << " | " << QString::number(id.fitPercent, 'f', 1)
                << " | " << g3(before.p) << ", " << g3(before.i) << ", " << g3(before.d) << " | "
                << g3(balanced.p) << ", " << g3(balanced.i) << ", " << g3(balanced.d) << " | "
                << QString::number(was.overshootPercent.value_or(0), 'f', 1) << ", "
                << seconds(was.settlingSamples, dt) << " | "
                << QString::number(predicted.overshootPercent, 'f', 1) << ", "
                << seconds(predicted.settlingSamples, dt) << " | "
                << QString::number(now.overshootPercent.value_or(0), 'f', 1) << ", "
                << seconds(now.settlingSamples, dt) << " | "
                << QString::number(predictionFit, 'f', 1)
                << (modelOk && tuneOk ? QString() : QStringLiteral(" ✗")) << " | "
                << QString::number(step.band * 100, 'f', 1) << ", "
                << QString::number(now.settlingBand * 100, 'f', 1) << " |\n";
        }
    }
    out << "\nslowest identification + suggestions: " << QString::number(slowest, 'f', 1)
        << " ms; cases missing a target: " << failures << "\n";
    out.flush();
    std::fputs(table.toUtf8().constData(), stdout);
    return failures == 0 ? 0 : 1;
}
