#pragma once

#include "chart/stepanalyzer.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"
#include "tools/step/stepoptions.h"
#include "tools/step/stepresult.h"
#include "tuning/controllerform.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QEventLoop;

// One step test on a board, without a window: opens the port as the window does, writes and
// confirms the gains, writes the target, starts the board, collects the channel's samples until
// the step has settled and stayed settled for as long again (or the duration ran out), stops
// the board and measures the step with the window's analyzer. With a model and a suggestion
// it can write the suggested gains and run the step again.
//
// run() keeps the event loop going until it is done; interrupt() (Ctrl-C) makes it send the
// stop frame, close the port and return an error.
class StepTest : public QObject
{
    Q_OBJECT

public:
    enum Status { Done = 0, Failed = 1, LimitExceeded = 2 };

    // A board has this long to answer a read, and to send its first sample after the start.
    static constexpr int ReadBackMs = 1000;
    static constexpr int FirstSampleMs = 2000;
    // Settled for at least this many samples, however quickly it settled.
    static constexpr int MinHeldSamples = 20;

    explicit StepTest(const StepOptions &options, QObject *parent = nullptr);
    ~StepTest() override;

    Status run();
    void interrupt();

    const StepResult &result() const { return outcome; }
    // Why the run failed; empty when it did not.
    QString error() const { return failure; }
    // The --max-* limits the final step exceeded, in words.
    QStringList exceededLimits() const { return exceeded; }

    // The figures of a finished step window of `samples`, in milliseconds.
    static StepResult::Figures figuresOf(const StepAnalyzer::Figures &figures);

private Q_SLOTS:
    void readPort();

private:
    bool openPort();
    bool readGains(std::optional<StepResult::Gains> &gains);
    bool writeGains(const StepResult::Gains &gains);
    bool measureStep(StepResult::Run &run);
    // Model, suggestion and, with --apply, the step with the suggested gains.
    bool tune();
    ControllerForm form() const;
    void sendStop();
    void closePort();
    bool fail(const QString &reason);
    // Runs the event loop until `done` or `timeoutMs` passed (or interrupt()); true when done.
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    void wake();
    void sampleArrived(int channel, float actual, float target);
    void parameterArrived(int op, int channel, float value);
    void checkLimits();
    bool isStep(const StepAnalyzer::Figures &figures) const;
    // Settled at `settling` and stayed so for as long again, and at least MinHeldSamples.
    static bool heldFor(qint64 samples, const std::optional<qint64> &settling);
    bool settledOverNoise(const StepAnalyzer::Figures &figures) const;

    StepOptions opts;
    QSerialPort serial;
    PortController ports;
    PidLink link;
    StepAnalyzer analyzer;
    QElapsedTimer clock;
    StepResult outcome;
    QString failure;
    QStringList exceeded;

    StepResult::Run *collecting = nullptr; // the run samples go to, while one is measured
    qint64 runStartNs = 0;
    bool settledAndHeld = false;
    bool stepless = false;
    bool boardStartedFirst = false; // listening, the board started before its first sample
    qint64 samplesSinceOpen = 0;
    std::array<std::optional<float>, 3> answers; // P, I, D as the board reported them
    bool interrupted = false;
    bool lineLost = false;
    QEventLoop *waiting = nullptr;
};
