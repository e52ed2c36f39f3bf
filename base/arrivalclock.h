#pragma once

#include <QtGlobal>

#include <chrono>

// The one clock the line's bytes are stamped with when they are read: nanoseconds on a
// monotonic clock. The step analysis times samples by the stamps; the recording and the
// capture count from their own start on the same clock.
namespace ArrivalClock {

inline qint64 nowNs()
{
    return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

} // namespace ArrivalClock
