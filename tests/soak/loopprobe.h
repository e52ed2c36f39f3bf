#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how late the event loop serves a steady timer: a window that hangs, or spends
// seconds in one slot, shows as lateness.
class LoopProbe : public QObject
{
    Q_OBJECT

public:
    explicit LoopProbe(int intervalMs = 50, QObject *parent = nullptr);

    void start();
    void stop() { timer.stop(); }

    qint64 maxLatenessMs() const { return maxLateness; }
    // Ticks more than 200 ms late.
    qint64 lateTicks() const { return late; }
    qint64 ticks() const { return tickCount; }

private:
    void tick();

    QTimer timer;
    QElapsedTimer clock;
    qint64 interval;
    qint64 last = 0;
    qint64 maxLateness = 0;
    qint64 late = 0;
    qint64 tickCount = 0;
};
