#include "benchmarks/latenessprobe.h"

#include <algorithm>

LatenessProbe::LatenessProbe()
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, &LatenessProbe::fired);
}

void LatenessProbe::start()
{
    lateNanos.clear();
    lateNanos.reserve(64 * 1024);
    last = -1;
    clock.start();
    timer.start();
}

void LatenessProbe::stop()
{
    timer.stop();
}

void LatenessProbe::fired()
{
    const qint64 now = clock.nsecsElapsed();
    if (last >= 0)
        lateNanos.push_back(std::max<qint64>(0, now - last - 1000000));
    last = now;
}

double LatenessProbe::quantileMs(double q) const
{
    if (lateNanos.empty())
        return 0;
    std::vector<qint64> sorted = lateNanos;
    const std::size_t at = std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())));
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    return sorted[at] / 1e6;
}

double LatenessProbe::maxMs() const
{
    if (lateNanos.empty())
        return 0;
    return *std::max_element(lateNanos.cbegin(), lateNanos.cend()) / 1e6;
}
