#include "tools/step/steptest.h"

#include "pidlink/pidframe.h"
#include "serial/portsettings.h"
#include "tuning/loopidentifier.h"
#include "tuning/tuningrules.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {
constexpr quint8 GainOps[3] = {CmdP, CmdI, CmdD};
constexpr const char *GainNames[3] = {"P", "I", "D"};
// After a stop, what the board still had on its way is left to arrive and then dropped.
constexpr int DrainMs = 200;

// The decimal number a board's float stands for (0.6f reads back as 0.6, not 0.6000000238).
double decimal(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::strtod(std::string(text, end).c_str(), nullptr);
}

int gainIndex(int op)
{
    return op == CmdP ? 0 : op == CmdI ? 1 : op == CmdD ? 2 : -1;
}
} // namespace

StepTest::StepTest(const StepOptions &options, QObject *parent)
    : QObject(parent), opts(options), ports(&serial)
{
    outcome.channel = opts.channel;
    link.setDevice(&serial);
    link.setStringMode(opts.stringMode);
    // The tool holds no values to tell a board that asks: its reads go unanswered, so nothing
    // is written that the options did not ask for.
    link.setParameterSource([](quint8, quint8) { return std::optional<float>(); });
    connect(&link, &PidLink::samplesReceived, this, [this](const ChannelSamples &samples) {
        for (const ChannelSample &s : samples)
            sampleArrived(s.channel, s.actual, s.target);
    });
    connect(&link, &PidLink::parameterReceived, this, &StepTest::parameterArrived);
    // The board's own start command begins a step, as it does in the window.
    connect(&link, &PidLink::runChanged, this, [this](bool active) {
        if (!active || !collecting || !opts.listenOnly())
            return;
        analyzer.beginRun();
        boardStartedFirst = boardStartedFirst || collecting->samples.isEmpty();
    });
    connect(&ports, &PortController::closed, this, [this](int, int reason) {
        if (reason == PortController::PortFailure) {
            lineLost = true;
            wake();
        }
    });
    clock.start();
}

StepTest::~StepTest()
{
    closePort();
}

StepTest::Status StepTest::run()
{
    const bool ok = openPort() && [this] {
        if (opts.listenOnly())
            return measureStep(outcome.first);
        if (opts.gains) {
            const StepResult::Gains g{opts.gains->p, opts.gains->i, opts.gains->d};
            if (!writeGains(g))
                return false;
            outcome.gains = g;
        } else if (!opts.stringMode && !readGains(outcome.gains)) {
            return false;
        }
        return measureStep(outcome.first) && (!opts.identify || tune());
    }();
    closePort();
    if (!ok)
        return Failed;
    checkLimits();
    return exceeded.isEmpty() ? Done : LimitExceeded;
}

void StepTest::interrupt()
{
    interrupted = true;
    wake();
}

bool StepTest::fail(const QString &reason)
{
    if (failure.isEmpty())
        failure = interrupted ? QStringLiteral("interrupted") : reason;
    return false;
}

void StepTest::wake()
{
    if (waiting)
        waiting->quit();
}

bool StepTest::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        const qint64 left = timeoutMs - waited.elapsed();
        if (interrupted || lineLost || left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, 100)), &loop, &QEventLoop::quit);
        waiting = &loop;
        loop.exec();
        waiting = nullptr;
    }
    return true;
}

bool StepTest::openPort()
{
    PortSettings settings;
    settings.baudRate = opts.baudRate;
    QString reason;
    connect(&ports, &PortController::openFailed, this,
            [&reason](int, const QString &why) { reason = why; });
    connect(&ports, &PortController::settingsRefused, this,
            [&reason](int, const QString &why) { reason = why; });
    const bool opened =
        ports.open(PortController::Pid, opts.port, settings, this, SLOT(readPort()));
    disconnect(&ports, &PortController::openFailed, this, nullptr);
    disconnect(&ports, &PortController::settingsRefused, this, nullptr);
    if (!opened)
        return fail(QStringLiteral("cannot open %1: %2").arg(opts.port, reason));
    serial.clear();
    return true;
}

void StepTest::closePort()
{
    if (!ports.isOpen(PortController::Pid))
        return;
    if (link.runActive())
        sendStop();
    ports.close(PortController::Pid, PortController::ByUser);
    link.portClosed();
}

void StepTest::readPort()
{
    link.feed(ports.read());
}

void StepTest::sendStop()
{
    if (opts.listenOnly() || !serial.isOpen())
        return;
    if (link.runActive()) {
        link.setRunActive(false);
    } else {
        char frame[FrameSize];
        buildCommandFrame(frame, CmdStop, DirRead, 0, 0, 0.0f);
        serial.write(frame, FrameSize);
    }
    // Out on the line before the port closes or the program ends.
    serial.waitForBytesWritten(500);
}

void StepTest::parameterArrived(int op, int channel, float value)
{
    const int index = gainIndex(op);
    if (index >= 0 && channel == opts.channel) {
        answers[std::size_t(index)] = value;
        wake();
    }
}

bool StepTest::readGains(std::optional<StepResult::Gains> &gains)
{
    answers = {};
    for (const quint8 op : GainOps)
        link.requestParameter(op, quint8(opts.channel));
    const auto all = [this] { return answers[0] && answers[1] && answers[2]; };
    if (waitUntil(all, ReadBackMs)) {
        gains = StepResult::Gains{decimal(*answers[0]), decimal(*answers[1]), decimal(*answers[2])};
        return true;
    }
    if (interrupted || lineLost)
        return fail(QStringLiteral("the line was lost"));
    // The model needs the gains in force; a plain step does not.
    if (opts.identify)
        return fail(QStringLiteral("the board did not report its gains P, I, D within %1 s; "
                                   "give them with --gains")
                        .arg(ReadBackMs / 1000.0));
    return true;
}

bool StepTest::writeGains(const StepResult::Gains &gains)
{
    const double values[3] = {gains.p, gains.i, gains.d};
    answers = {};
    for (int k = 0; k < 3; ++k) {
        link.writeParameter(GainOps[k], quint8(opts.channel), float(values[k]));
        link.requestParameter(GainOps[k], quint8(opts.channel));
    }
    const auto all = [this] { return answers[0] && answers[1] && answers[2]; };
    if (!waitUntil(all, ReadBackMs)) {
        if (interrupted || lineLost)
            return fail(QStringLiteral("the line was lost"));
        QStringList missing;
        for (int k = 0; k < 3; ++k) {
            if (!answers[std::size_t(k)])
                missing << QLatin1String(GainNames[k]);
        }
        return fail(QStringLiteral("the board did not confirm %1 within %2 s")
                        .arg(missing.join(QLatin1String(", ")))
                        .arg(ReadBackMs / 1000.0));
    }
    for (int k = 0; k < 3; ++k) {
        const float sent = float(values[k]);
        const float back = *answers[std::size_t(k)];
        if (back != sent)
            return fail(QStringLiteral("the board confirmed %1 = %2, not %3")
                            .arg(QLatin1String(GainNames[k]))
                            .arg(double(back), 0, 'g', 9)
                            .arg(double(sent), 0, 'g', 9));
    }
    return true;
}

void StepTest::sampleArrived(int channel, float actual, float target)
{
    ++samplesSinceOpen;
    if (!collecting || channel != opts.channel)
        return;
    const qint64 now = clock.nsecsElapsed();
    collecting->samples.append({double(now - runStartNs) / 1e6, actual, target});
    analyzer.addSample(channel, collecting->samples.size() - 1, actual, target, now);
    const StepAnalyzer::Figures f = analyzer.figures(channel);
    // The board took our target and stands at it already: there is no step to wait for.
    if (!opts.listenOnly() && !f.hasStep() && f.target && float(*f.target) == *opts.target) {
        stepless = true;
        wake();
    }
    // Not before the analyzer knows the noise: until then it judges the raw samples, and a
    // noisy step's figures come out by chance.
    if (isStep(f) && f.noise && (heldFor(f.samples, f.settlingSamples) || settledOverNoise(f))) {
        settledAndHeld = true;
        wake();
    }
}

bool StepTest::measureStep(StepResult::Run &run)
{
    run = StepResult::Run();
    if (!opts.listenOnly()) {
        // A board that still streams from an earlier run would put its last samples in front
        // of the fresh run's: stop it and let them pass.
        if (samplesSinceOpen > 0 || link.runActive()) {
            sendStop();
            waitUntil([] { return false; }, DrainMs);
        }
        if (interrupted || lineLost)
            return fail(QStringLiteral("the line was lost"));
        link.writeParameter(CmdTarget, quint8(opts.channel), *opts.target);
    }
    analyzer.clear();
    analyzer.beginRun();
    analyzer.takeFinishedWindows();
    settledAndHeld = false;
    stepless = false;
    boardStartedFirst = false;
    runStartNs = clock.nsecsElapsed();
    collecting = &run;
    if (!opts.listenOnly())
        link.setRunActive(true);

    const bool gotSamples = waitUntil([&run] { return !run.samples.isEmpty(); }, FirstSampleMs);
    if (gotSamples) {
        const qint64 elapsedMs = (clock.nsecsElapsed() - runStartNs) / 1000000;
        waitUntil([this] { return settledAndHeld || stepless; }, int(opts.durationMs - elapsedMs));
    }
    collecting = nullptr;
    if (link.runActive())
        sendStop();
    if (interrupted)
        return fail(QString());
    if (lineLost)
        return fail(QStringLiteral("the line to %1 was lost").arg(opts.port));
    if (!gotSamples)
        return fail(QStringLiteral("no samples from CH%1 within %2 s")
                        .arg(opts.channel + 1)
                        .arg(FirstSampleMs / 1000.0));

    // The open window if it holds a step, else the last finished one that did.
    StepAnalyzer::Figures step = analyzer.figures(opts.channel);
    const auto finished = analyzer.takeFinishedWindows();
    if (!isStep(step)) {
        step = StepAnalyzer::Figures();
        for (auto it = finished.rbegin(); it != finished.rend(); ++it) {
            if (it->channel == opts.channel && isStep(it->figures)) {
                step = it->figures;
                break;
            }
        }
    }
    if (!step.hasStep())
        return fail(opts.listenOnly()
                        ? QStringLiteral("no step on CH%1 within %2 s: the target never changed")
                              .arg(opts.channel + 1)
                              .arg(opts.durationMs / 1000.0)
                        : QStringLiteral("no step on CH%1: the actual value already stood at "
                                         "the target %2")
                              .arg(opts.channel + 1)
                              .arg(double(*opts.target)));
    run.stepStart = int(step.firstSample);
    run.stepLength = int(step.samples);
    run.figures = figuresOf(step);
    run.samplePeriodMs = step.intervalMs;
    run.settlingBand = step.settlingBand;
    run.settled = settledAndHeld;
    return true;
}

bool StepTest::heldFor(qint64 samples, const std::optional<qint64> &settling)
{
    return settling && samples - *settling >= std::max<qint64>(*settling, MinHeldSamples);
}

bool StepTest::settledOverNoise(const StepAnalyzer::Figures &f) const
{
    // Measurement noise a good part of the 2 % band leaves it now and then long after the loop
    // settled, and the run would go on to --duration. For the stop only (the figures stay the
    // analyzer's): settled within six times the noise, checked every few samples. The analyzer
    // itself must see the step settled for a while: stopped earlier, a step still creeping
    // towards its band gets the window's end for its settling, or none.
    if (f.samples < 2 * MinHeldSamples || f.samples % 10 != 0 || !f.settlingSamples ||
        f.samples - *f.settlingSamples < MinHeldSamples)
        return false;
    QVector<double> values;
    values.reserve(int(f.samples));
    for (qint64 k = f.firstSample; k < f.firstSample + f.samples; ++k)
        values << double(collecting->samples[int(k)].actual);
    const double step = std::fabs(*f.target - *f.y0);
    const double band =
        std::max(StepFigures::DefaultBand, 6.0 * LoopIdentifier::noiseOf(values) / step);
    const StepFigures figures = StepFigures::of(values, *f.target, band);
    return heldFor(f.samples, figures.settlingSamples
                                  ? std::optional<qint64>(*figures.settlingSamples)
                                  : std::nullopt);
}

bool StepTest::isStep(const StepAnalyzer::Figures &f) const
{
    // Listening, the first window starts wherever the board's response happened to be when the
    // port opened: only a target change or the board's own start begins a step.
    return f.hasStep() && (!opts.listenOnly() || f.firstSample > 0 || boardStartedFirst);
}

StepResult::Figures StepTest::figuresOf(const StepAnalyzer::Figures &f)
{
    StepResult::Figures out;
    out.from = f.y0.value_or(0.0);
    out.to = f.target.value_or(0.0);
    out.riseMs = f.riseMs;
    out.peakMs = f.peakMs;
    out.overshootPercent = f.overshootPercent;
    out.settlingMs = f.settlingMs;
    out.steadyStateError = f.steadyStateError;
    return out;
}

void StepTest::checkLimits()
{
    exceeded.clear();
    const StepResult::Run &run = outcome.finalRun();
    if (!run.figures)
        return;
    const StepResult::Figures &f = *run.figures;
    if (opts.maxOvershootPercent && f.overshootPercent &&
        *f.overshootPercent > *opts.maxOvershootPercent)
        exceeded << QStringLiteral("overshoot %1 % exceeds --max-overshoot %2 %")
                        .arg(*f.overshootPercent, 0, 'f', 1)
                        .arg(*opts.maxOvershootPercent);
    if (opts.maxSettlingMs) {
        if (!f.settlingMs)
            exceeded << QStringLiteral("the step never settled (--max-settling-ms %1)")
                            .arg(*opts.maxSettlingMs);
        else if (*f.settlingMs > *opts.maxSettlingMs)
            exceeded << QStringLiteral("settling %1 ms exceeds --max-settling-ms %2")
                            .arg(*f.settlingMs, 0, 'f', 0)
                            .arg(*opts.maxSettlingMs);
    }
}

ControllerForm StepTest::form() const
{
    // Unless told otherwise, the board runs what the simulated board runs.
    ControllerForm f = ControllerForm::simulatedBoard(opts.channel);
    if (opts.form == QLatin1String("samples")) {
        f.timing = ControllerForm::Timing::PerSample;
        f.derivativeFilterS = 0.0;
    }
    f.derivativeOnMeasurement = opts.derivative != QLatin1String("error");
    if (opts.outputMin && opts.outputMax) {
        f.limited = true;
        f.outputMin = *opts.outputMin;
        f.outputMax = *opts.outputMax;
    }
    return f;
}

namespace {
QVector<double> stepValues(const StepResult::Run &run)
{
    QVector<double> values;
    const int end = std::min<int>(run.samples.size(), run.stepStart + run.stepLength);
    for (int k = std::max(run.stepStart, 0); k < end; ++k)
        values << double(run.samples[k].actual);
    return values;
}

StepResult::Predicted predictedOf(const StepFigures &f, double periodMs)
{
    const auto ms = [periodMs](const std::optional<int> &samples) {
        return samples ? std::optional<double>(*samples * periodMs) : std::nullopt;
    };
    return StepResult::Predicted{ms(f.riseSamples), f.overshootPercent, ms(f.settlingSamples)};
}
} // namespace

bool StepTest::tune()
{
    const StepResult::Run &run = outcome.first;
    const ControllerForm controller = form();
    const double periodMs = run.samplePeriodMs.value_or(0.0);
    if (!(periodMs > 0))
        return fail(QStringLiteral("cannot identify the plant: no sample period was measured"));
    // The run started the loop from rest: no output, nothing running before the first sample.
    StepData data;
    data.actual = stepValues(run);
    data.target = run.figures->to;
    data.samplePeriodS = periodMs / 1000.0;
    data.gainsKnown = outcome.gains.has_value();
    if (outcome.gains)
        data.gains = {outcome.gains->p, outcome.gains->i, outcome.gains->d};
    const LoopIdentifier::Result id = LoopIdentifier::identify(data, controller);
    if (!id.ok)
        return fail(QStringLiteral("cannot identify the plant: %1").arg(id.refusal));
    outcome.model = StepResult::Model{id.model.gain, id.model.timeConstantS * 1000.0,
                                      id.model.deadTimeS * 1000.0, id.fitPercent};
    if (opts.suggest.isEmpty())
        return true;

    outcome.suggestionsAsked = true;
    TuningRules::Step step;
    step.start = id.model.rest;
    step.target = data.target;
    step.samplePeriodS = data.samplePeriodS;
    step.samples = data.actual.size();
    step.noise = id.noise;
    // Predicted in the band the measured step was judged in.
    step.band = run.settlingBand;
    const TuningRules::Aim aim = opts.suggest == QLatin1String("robust") ? TuningRules::Aim::Robust
                                 : opts.suggest == QLatin1String("fast")
                                     ? TuningRules::Aim::Fast
                                     : TuningRules::Aim::Balanced;
    const auto all = TuningRules::suggest(id.model, controller, step);
    const TuningRules::Suggestion &chosen = all[std::size_t(aim)];
    if (!chosen.ok)
        return fail(QStringLiteral("no %1 suggestion: %2").arg(opts.suggest, chosen.refusal));
    StepResult::Suggestion suggestion;
    suggestion.aim = opts.suggest;
    suggestion.gains = {chosen.p, chosen.i, chosen.d};
    suggestion.predicted = predictedOf(chosen.predicted, periodMs);
    suggestion.trace = chosen.trace;
    outcome.suggestions = {suggestion};
    if (!opts.apply)
        return true;

    // Written as the board holds them: floats.
    StepResult::Applied applied;
    applied.aim = opts.suggest;
    applied.gains = {decimal(float(chosen.p)), decimal(float(chosen.i)), decimal(float(chosen.d))};
    applied.predicted = suggestion.predicted;
    applied.predictedTrace = chosen.trace;
    if (!writeGains(applied.gains))
        return false;
    outcome.applied = applied;
    if (!measureStep(outcome.applied->run))
        return false;
    // The prediction judged in the band the applied step got: each step's noise sets its own,
    // and a wider band before would flatter the prediction.
    outcome.applied->predicted = predictedOf(
        StepFigures::of(chosen.trace, data.target,
                        TuningRules::predictionBand(outcome.applied->run.settlingBand, id.noise,
                                                    step.target - step.start)),
        periodMs);
    // Measured against predicted over the samples both have.
    QVector<double> measured = stepValues(outcome.applied->run);
    QVector<double> predicted = chosen.trace;
    const int n = std::min(measured.size(), predicted.size());
    measured.resize(n);
    predicted.resize(n);
    if (n >= 2)
        outcome.applied->predictionFitPercent = LoopIdentifier::fitPercent(measured, predicted);
    return true;
}
