#include "benchmarks/pacedwriter.h"

#include "benchmarks/processstats.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

// A batch never exceeds this, so a late writer catches up in pty-sized bites.
constexpr qint64 MaxBatchBytes = 64 * 1024;

qint64 nowNanos()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntil(qint64 nanos)
{
    timespec ts{};
    ts.tv_sec = time_t(nanos / 1000000000);
    ts.tv_nsec = long(nanos % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

} // namespace

PacedWriter::PacedWriter(int unitBytes, Producer producer)
    : unitSize(std::max(1, unitBytes)), produce(std::move(producer))
{
}

PacedWriter::~PacedWriter()
{
    stop();
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
}

bool PacedWriter::open(QString *error)
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    path = QString::fromLocal8Bit(ptsname(masterFd));
    slaveFd = ::open(ptsname(masterFd), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw from the start: no echo of our own bytes, no line-end translation.
    termios tio{};
    tcgetattr(slaveFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(slaveFd, TCSANOW, &tio);
    return true;
}

void PacedWriter::start(double unitsPerSecond)
{
    stop();
    stopping = false;
    bytesWritten = 0;
    scheduled = 0;
    fullMs = 0;
    longestFullMs = 0;
    ranSeconds = 0;
    threadCpu = 0;
    writeFailed = false;
    running = true;
    worker = std::thread([this, unitsPerSecond] { run(unitsPerSecond); });
}

void PacedWriter::stop()
{
    if (!worker.joinable())
        return;
    stopping = true;
    worker.join();
}

int PacedWriter::waitingOnLine() const
{
    int waiting = 0;
    if (slaveFd < 0 || ioctl(slaveFd, TIOCINQ, &waiting) != 0)
        return -1;
    return waiting;
}

QByteArray PacedWriter::readReply(int timeoutMs)
{
    QByteArray out;
    if (worker.joinable() || masterFd < 0)
        return out;
    pollfd p{masterFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(masterFd, buffer, sizeof buffer)) > 0)
        out.append(buffer, int(n));
    return out;
}

void PacedWriter::drainInput()
{
    char sink[4096];
    while (::read(masterFd, sink, sizeof sink) > 0) {
    }
}

void PacedWriter::run(double unitsPerSecond)
{
    const double cpuStart = ProcessStats::threadCpuSeconds();
    const qint64 start = nowNanos();
    const qint64 maxBatchUnits = std::max<qint64>(1, MaxBatchBytes / unitSize);
    qint64 produced = 0;
    QByteArray pending;
    int offset = 0;
    qint64 tick = 0;
    qint64 lastFullTick = -1;
    qint64 fullRun = 0;
    qint64 stopSeen = -1;
    // Once stopping, only the batch in flight is finished, so every unit arrives whole; a
    // reader that takes nothing for 10 s gets no more.
    while (!stopping.load() || offset < pending.size()) {
        const qint64 now = nowNanos();
        if (stopping.load()) {
            if (stopSeen < 0)
                stopSeen = now;
            else if (now - stopSeen > 10000000000LL)
                break;
        }
        if (!stopping.load() && offset == pending.size()) {
            const qint64 due = qint64(std::floor(unitsPerSecond * double(now - start) / 1e9));
            if (produced < due) {
                const qint64 count = std::min(due - produced, maxBatchUnits);
                pending.resize(0);
                offset = 0;
                produce(pending, nextUnit, count);
                nextUnit += count;
                produced += count;
                scheduled = produced;
            }
        }
        if (offset < pending.size()) {
            const ssize_t n =
                ::write(masterFd, pending.constData() + offset, size_t(pending.size() - offset));
            if (n > 0) {
                offset += int(n);
                bytesWritten += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                writeFailed = true;
                break;
            }
            // Full: the reader lags. Wait for room, a millisecond at most.
            const qint64 ms = (now - start) / 1000000;
            if (ms != lastFullTick) {
                fullRun = ms == lastFullTick + 1 ? fullRun + 1 : 1;
                lastFullTick = ms;
                ++fullMs;
                longestFullMs = std::max(longestFullMs.load(), fullRun);
            }
            pollfd p{masterFd, POLLOUT, 0};
            poll(&p, 1, 1);
            drainInput();
            continue;
        }
        drainInput();
        // Up to date: sleep to the next millisecond boundary of the step.
        tick = std::max(tick + 1, (now - start) / 1000000 + 1);
        sleepUntil(start + tick * 1000000);
    }
    ranSeconds = double(nowNanos() - start) / 1e9;
    threadCpu = ProcessStats::threadCpuSeconds() - cpuStart;
    running = false;
}
