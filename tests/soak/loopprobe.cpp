#include "tests/soak/loopprobe.h"

LoopProbe::LoopProbe(int intervalMs, QObject *parent) : QObject(parent), interval(intervalMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, &LoopProbe::tick);
}

void LoopProbe::start()
{
    clock.start();
    last = 0;
    timer.start();
}

void LoopProbe::tick()
{
    const qint64 now = clock.elapsed();
    const qint64 lateness = now - last - interval;
    last = now;
    ++tickCount;
    if (lateness > maxLateness)
        maxLateness = lateness;
    if (lateness > 200)
        ++late;
}
