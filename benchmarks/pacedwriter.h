#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// The far end of a pseudo-terminal, writing a stream at a set rate from its own thread: every
// millisecond it writes what is due by then, and when the pty is full (the reader lags) it
// waits for room and catches up, so nothing is dropped on the writer's side. What the program
// writes back is read and thrown away.
class PacedWriter
{
public:
    // Appends `count` units, numbered from `first`, to `out`.
    using Producer = std::function<void(QByteArray &out, qint64 first, qint64 count)>;

    PacedWriter(int unitBytes, Producer producer);
    ~PacedWriter();
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;

    bool open(QString *error);
    QString slavePath() const { return path; }

    // Starts writing `unitsPerSecond` units; the stream goes on where the last step ended.
    void start(double unitsPerSecond);
    // Stops scheduling; the thread finishes the batch in flight, which needs the reader to
    // keep reading, so a GUI thread asks for the stop and runs its loop until !isRunning().
    void requestStop() { stopping = true; }
    bool isRunning() const { return running.load(); }
    // Asks for the stop and joins the thread.
    void stop();

    // Of the current or last step.
    qint64 unitsWritten() const { return bytesWritten.load() / unitSize; }
    qint64 unitsScheduled() const { return scheduled.load(); }
    // Milliseconds in which the pty had no room, in all and the longest run of them.
    qint64 fullMilliseconds() const { return fullMs.load(); }
    qint64 longestFullMilliseconds() const { return longestFullMs.load(); }
    double runSeconds() const { return ranSeconds.load(); }
    // CPU time of the writer's own thread in the last step, to take out of the process's.
    double cpuSeconds() const { return threadCpu.load(); }
    bool failed() const { return writeFailed.load(); }
    // Bytes written and not yet read by the program.
    int waitingOnLine() const;
    // What the program wrote, waiting up to `timeoutMs` for the first byte; only while no
    // step runs (the thread reads and drops it then).
    QByteArray readReply(int timeoutMs);

private:
    void run(double unitsPerSecond);
    void drainInput();

    int unitSize;
    Producer produce;
    int masterFd = -1;
    int slaveFd = -1; // keeps the line alive while the program opens and closes its side
    QString path;
    qint64 nextUnit = 0; // stream position, kept across steps
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::atomic<bool> running{false};
    std::atomic<qint64> bytesWritten{0};
    std::atomic<qint64> scheduled{0};
    std::atomic<qint64> fullMs{0};
    std::atomic<qint64> longestFullMs{0};
    std::atomic<double> ranSeconds{0};
    std::atomic<double> threadCpu{0};
    std::atomic<bool> writeFailed{false};
};
