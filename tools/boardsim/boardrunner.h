#pragma once

#include "tools/boardsim/boardline.h"
#include "tools/boardsim/boardprotocol.h"
#include "tools/boardsim/boardsimulator.h"
#include "tools/boardsim/byteerrorinjector.h"
#include "tools/boardsim/captureplayer.h"
#include "tools/boardsim/outputqueue.h"

#include <QJsonObject>
#include <QVector>

#include <array>
#include <optional>

#include <chrono>
#include <csignal>

// The simulator's main loop: one poll loop over the line that answers the program's commands,
// streams samples at the chosen rate while running and keeps exact counts of what got out.
class BoardRunner
{
public:
    struct Options
    {
        QString device; // empty: create a pseudo-terminal
        int baud = 115200;
        double rate = 100.0; // sample periods per second
        bool maxRate = false;
        bool stringMode = false;
        bool autostart = false;
        bool avoidLineFeedValues = false;
        bool verbose = false;
        QVector<unsigned char> sendReads; // the board's own read requests, by operation code
        bool sendStart = false;
        bool sendStop = false;
        int sendDelayMs = 0;
        quint64 errorPeriod = 0; // one corrupted byte per this many; 0 for none
        qint64 frameLimit = -1;  // sample frames (lines in string mode) to send; -1 for no limit
        QString reportPath;
        unsigned seed = 1;
        double noiseScale = 1.0;
        std::array<std::optional<Plant::Model>, BoardSimulator::Channels> plants;
        bool perSampleForm = false;
        bool derivativeOnError = false;
        QString replayPath;         // a raw capture to play instead of simulating
        double replaySpeed = 1.0;   // 0: as fast as the line takes it
        quint64 replayMaxGapUs = 0; // longer gaps are played this long; 0: as recorded
    };

    explicit BoardRunner(const Options &options);

    // Blocks SIGINT and SIGTERM outside the loop's wait, where they only set a flag; after the
    // loop they interrupt what is left (the wait for the line to drain).
    static void installSignalHandlers();

    // Runs until the frame limit is sent, a signal arrives or the line fails; the exit code.
    int run();

    QJsonObject report() const;

private:
    using Clock = std::chrono::steady_clock;

    void enqueue(const QByteArray &bytes, OutputQueue::Kind kind);
    void readLine();
    void writeLine();
    void generate(Clock::time_point now);
    void emitPeriod(Clock::time_point now);
    void noteRunState(Clock::time_point now);
    void peerHungUp();
    bool replaying() const { return !opts.replayPath.isEmpty(); }
    bool lineHasReader() const;
    void replay(Clock::time_point now);
    bool limitReached() const;
    long long waitNanoseconds(Clock::time_point now) const;
    void log(const QString &text) const;
    void printSummary() const;
    bool writeReport() const;

    Options opts;
    BoardSimulator sim;
    CapturePlayer player;
    BoardProtocol protocol;
    BoardLine line;
    ByteErrorInjector injector;
    OutputQueue queue;

    Clock::time_point startedAt;
    Clock::time_point streamStart;
    Clock::time_point limitReachedAt;
    Clock::time_point finishedAt;
    bool wasRunning = false;
    bool hungUp = false;
    bool boardCommandsSent = false;
    bool lineFailed = false;
    quint64 schedulePosition = 0; // sample periods accounted for since the stream started
    quint64 periodsSlipped = 0;   // periods left out because the line could not keep up
    quint64 sampleFramesQueued = 0;
    quint64 starts = 0;
    quint64 stops = 0;
    quint64 hangUps = 0;
    quint64 bytesReceived = 0;
    int bytesLeftInLine = 0; // after the final wait for the reader; -1 when unknown
    QString endReason;
};
