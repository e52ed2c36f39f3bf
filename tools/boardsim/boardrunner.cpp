#include "tools/boardsim/boardrunner.h"

#include "pidlink/pidframe.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stopSignal = 0;
sigset_t waitMask; // the mask during the loop's wait: SIGINT and SIGTERM let through

void onStopSignal(int signal)
{
    stopSignal = signal;
}

// Beyond this much unsent output the generator waits for the line instead of piling up more.
constexpr qint64 MaxBacklog = 64 * 1024;
// At --rate max the queue is topped up to this much, enough to keep the line busy.
constexpr qint64 MaxRateFill = 8 * 1024;
// How long to wait, once the frame limit is reached, for a reader to take the rest.
constexpr auto DrainTimeout = std::chrono::seconds(10);
// How long to wait on exit for the reader to take what the line still holds.
constexpr int LingerMs = 2000;
// Sample period of the loops at --rate max, where no wall-clock period exists.
constexpr double MaxRateSampleTime = 0.01;

BoardSimulator::Options simulatorOptions(const BoardRunner::Options &opts)
{
    BoardSimulator::Options s;
    s.sampleTime = opts.maxRate || !(opts.rate > 0.0) ? MaxRateSampleTime : 1.0 / opts.rate;
    s.noiseScale = opts.noiseScale;
    s.plants = opts.plants;
    s.perSampleForm = opts.perSampleForm;
    s.derivativeOnError = opts.derivativeOnError;
    s.seed = opts.seed;
    s.stringMode = opts.stringMode;
    s.wireSafeMeasurements = opts.avoidLineFeedValues;
    return s;
}

double secondsBetween(std::chrono::steady_clock::time_point a,
                      std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}
} // namespace

BoardRunner::BoardRunner(const Options &options)
    : opts(options), sim(simulatorOptions(options)), protocol(sim),
      injector(options.errorPeriod, options.seed + 1)
{
}

void BoardRunner::installSignalHandlers()
{
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
}

void BoardRunner::log(const QString &text) const
{
    std::fprintf(stderr, "tavrino-boardsim: %s\n", text.toLocal8Bit().constData());
}

void BoardRunner::enqueue(const QByteArray &bytes, OutputQueue::Kind kind)
{
    if (bytes.isEmpty())
        return;
    if (!injector.isActive()) {
        queue.append(bytes, kind);
        return;
    }
    QByteArray noisy = bytes;
    injector.apply(noisy);
    queue.append(noisy, kind);
}

bool BoardRunner::limitReached() const
{
    return opts.frameLimit >= 0 && sampleFramesQueued >= quint64(opts.frameLimit);
}

void BoardRunner::noteRunState(Clock::time_point now)
{
    const bool running = sim.isRunning();
    if (running == wasRunning)
        return;
    wasRunning = running;
    if (running) {
        ++starts;
        streamStart = now;
        schedulePosition = 0;
    } else {
        ++stops;
    }
}

void BoardRunner::emitPeriod(Clock::time_point now)
{
    sim.advance();
    if (opts.stringMode) {
        enqueue(sim.sampleLine(), OutputQueue::TextLine);
        ++sampleFramesQueued;
    } else {
        for (int ch = 0; ch < BoardSimulator::Channels && !limitReached(); ++ch) {
            enqueue(sim.sampleFrame(ch), OutputQueue::DataFrame);
            ++sampleFramesQueued;
        }
    }
    if (limitReached()) {
        limitReachedAt = now;
        if (opts.verbose)
            log(QStringLiteral("%1 sample frames queued, finishing").arg(sampleFramesQueued));
    }
}

bool BoardRunner::lineHasReader() const
{
    if (!line.isPseudoTerminal())
        return true;
    // The master side of a pty reports a hang-up while nobody holds the slave open.
    pollfd probe{line.fd(), POLLIN, 0};
    return ::poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP);
}

void BoardRunner::replay(Clock::time_point now)
{
    if (hungUp)
        return;
    if (!player.isStarted()) {
        // The recorded timing counts from when someone listens.
        if (!lineHasReader())
            return;
        player.start(now);
        if (opts.verbose)
            log(QStringLiteral("replaying %1").arg(opts.replayPath));
    }
    const qint64 fill = opts.replaySpeed > 0.0 ? MaxBacklog : MaxRateFill;
    while (!player.isFinished() && player.isDue(now) && queue.pendingBytes() < fill) {
        enqueue(player.takeNext(), OutputQueue::Replayed);
        // A long silence looks like a hang unless it is announced.
        if (const quint64 gap = player.takeLongGap())
            log(QStringLiteral("the capture is silent for %1 s after record %2; waiting (--max-gap "
                               "shortens such gaps)")
                    .arg(double(gap) / 1e6, 0, 'f', 1)
                    .arg(player.recordsPlayed()));
    }
}

void BoardRunner::generate(Clock::time_point now)
{
    if (replaying()) {
        replay(now);
        return;
    }
    if (!sim.isRunning() || hungUp || limitReached())
        return;
    if (opts.maxRate) {
        while (queue.pendingBytes() < MaxRateFill && !limitReached())
            emitPeriod(now);
        return;
    }
    const auto due = quint64(std::floor(secondsBetween(streamStart, now) * opts.rate));
    if (due <= schedulePosition || queue.pendingBytes() > MaxBacklog)
        return;
    quint64 behind = due - schedulePosition;
    // More than a second behind (the line stalled): resume from now instead of flooding it.
    const auto oneSecond = quint64(std::max(1.0, opts.rate));
    if (behind > oneSecond) {
        periodsSlipped += behind - 1;
        schedulePosition = due - 1;
        behind = 1;
    }
    for (; behind > 0 && !limitReached() && queue.pendingBytes() <= MaxBacklog; --behind) {
        emitPeriod(now);
        ++schedulePosition;
    }
}

void BoardRunner::writeLine()
{
    while (!queue.isEmpty()) {
        const ssize_t n = ::write(line.fd(), queue.pendingData(), size_t(queue.pendingBytes()));
        if (n > 0) {
            queue.consume(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && !line.isPseudoTerminal()) {
            log(QStringLiteral("writing to %1 failed: %2")
                    .arg(line.path(), QString::fromLocal8Bit(strerror(errno))));
            lineFailed = true;
        }
        // Full (or the peer is gone, which the next poll tells): keep the rest for later.
        return;
    }
}

void BoardRunner::readLine()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(line.fd(), buffer, sizeof buffer);
        if (n > 0) {
            bytesReceived += quint64(n);
            // A replay plays the capture alone and answers nothing.
            if (replaying())
                continue;
            const QByteArray replies = protocol.feed(QByteArray(buffer, int(n)));
            // One queue item per frame, so each reply is counted on its own.
            for (int at = 0; at + FrameSize <= replies.size(); at += FrameSize)
                enqueue(replies.mid(at, FrameSize), OutputQueue::CommandFrame);
            const QStringList notes = protocol.takeNotes();
            if (opts.verbose) {
                for (const QString &note : notes)
                    log(note);
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (!line.isPseudoTerminal()) {
            log(n == 0 ? QStringLiteral("%1 was closed").arg(line.path())
                       : QStringLiteral("reading %1 failed: %2")
                             .arg(line.path(), QString::fromLocal8Bit(strerror(errno))));
            lineFailed = true;
        }
        return;
    }
}

void BoardRunner::peerHungUp()
{
    hungUp = true;
    ++hangUps;
    // Like a board whose host went away: stop streaming and forget what did not get out.
    sim.stop();
    queue.discard();
    line.discardQueued();
    if (opts.verbose)
        log(QStringLiteral("the program closed %1").arg(line.path()));
}

long long BoardRunner::waitNanoseconds(Clock::time_point now) const
{
    using namespace std::chrono;
    auto wait = duration_cast<nanoseconds>(milliseconds(200));
    if (!boardCommandsSent) {
        const auto at = startedAt + milliseconds(opts.sendDelayMs);
        wait = std::min(wait, duration_cast<nanoseconds>(at - now));
    }
    if (replaying()) {
        if (!player.isStarted() || player.isFinished() || hungUp)
            wait = std::min(wait, duration_cast<nanoseconds>(milliseconds(20)));
        else if (opts.replaySpeed <= 0.0 ? queue.pendingBytes() < MaxRateFill
                                         : queue.pendingBytes() < MaxBacklog)
            wait = std::min(wait, duration_cast<nanoseconds>(player.nextDue() - now));
    } else if (limitReached())
        wait = std::min(wait, duration_cast<nanoseconds>(milliseconds(50)));
    else if (sim.isRunning() && !hungUp) {
        if (opts.maxRate) {
            if (queue.pendingBytes() < MaxRateFill)
                wait = nanoseconds(0);
        } else if (queue.pendingBytes() <= MaxBacklog) {
            const auto next = streamStart + duration_cast<nanoseconds>(duration<double>(
                                                double(schedulePosition + 1) / opts.rate));
            wait = std::min(wait, duration_cast<nanoseconds>(next - now));
        }
    }
    return std::max<long long>(0, wait.count());
}

int BoardRunner::run()
{
    QString error;
    // A capture that cannot be played is refused before anyone connects.
    if (replaying() &&
        !player.open(opts.replayPath, opts.replaySpeed, opts.replayMaxGapUs, &error)) {
        log(error);
        return 1;
    }
    const bool opened = opts.device.isEmpty() ? line.openPseudoTerminal(&error)
                                              : line.openDevice(opts.device, opts.baud, &error);
    if (!opened) {
        log(error);
        return 1;
    }
    // The replay's timing counts from when someone listens, so the line starts out unheard.
    if (replaying() && line.isPseudoTerminal()) {
        line.expectReader();
        hungUp = true;
    }
    // The first line of stdout is the device to open; a script waits for it.
    std::printf("%s\n", line.path().toLocal8Bit().constData());
    std::fflush(stdout);

    startedAt = Clock::now();
    if (opts.autostart) {
        sim.start();
        noteRunState(startedAt);
    }

    int exitCode = 0;
    for (;;) {
        if (stopSignal) {
            endReason = QLatin1String(stopSignal == SIGINT ? "SIGINT" : "SIGTERM");
            break;
        }
        if (lineFailed) {
            endReason = QStringLiteral("line failed");
            exitCode = 1;
            break;
        }
        auto now = Clock::now();
        if (replaying() && player.isStarted() && hungUp) {
            log(QStringLiteral("the reader closed the line after %1 records of the capture")
                    .arg(player.recordsPlayed()));
            endReason = QStringLiteral("reader went away");
            exitCode = 3;
            break;
        }
        if (replaying() && player.isFinished() && queue.isEmpty() && player.isStarted()) {
            endReason = QStringLiteral("replay done");
            if (!player.damage().isEmpty()) {
                log(QStringLiteral("the capture is damaged, played the %1 whole records before "
                                   "it: %2")
                        .arg(player.recordsPlayed())
                        .arg(player.damage()));
                endReason = QStringLiteral("replay stopped at damage");
                exitCode = 4;
            }
            break;
        }
        if (limitReached() && queue.isEmpty()) {
            endReason = QStringLiteral("frame limit sent");
            break;
        }
        if (limitReached() && now - limitReachedAt > DrainTimeout) {
            log(QStringLiteral("nobody read the last %1 bytes; giving up")
                    .arg(queue.pendingBytes()));
            endReason = QStringLiteral("frame limit not drained");
            exitCode = 3;
            break;
        }

        if (!boardCommandsSent && !hungUp &&
            now >= startedAt + std::chrono::milliseconds(opts.sendDelayMs)) {
            char frame[FrameSize];
            for (unsigned char op : opts.sendReads) {
                enqueue(QByteArray(buildCommandFrame(frame, op, DirRead, 0, 0, 0.0f), FrameSize),
                        OutputQueue::CommandFrame);
            }
            if (opts.sendStart)
                enqueue(
                    QByteArray(buildCommandFrame(frame, CmdStart, DirRead, 0, 0, 0.0f), FrameSize),
                    OutputQueue::CommandFrame);
            if (opts.sendStop)
                enqueue(
                    QByteArray(buildCommandFrame(frame, CmdStop, DirRead, 0, 0, 0.0f), FrameSize),
                    OutputQueue::CommandFrame);
            boardCommandsSent = true;
        }

        generate(now);
        writeLine();

        pollfd pfd{line.fd(), short(POLLIN | (queue.isEmpty() ? 0 : POLLOUT)), 0};
        const long long ns = hungUp ? 20'000'000LL : waitNanoseconds(now);
        const timespec timeout{time_t(ns / 1'000'000'000LL), long(ns % 1'000'000'000LL)};
        // While the pty has no reader poll reports the hang-up at once: just nap then.
        const int ready = ppoll(hungUp ? nullptr : &pfd, hungUp ? 0 : 1, &timeout, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            log(QStringLiteral("poll failed: %1").arg(QString::fromLocal8Bit(strerror(errno))));
            endReason = QStringLiteral("poll failed");
            exitCode = 1;
            break;
        }
        now = Clock::now();
        if (hungUp) {
            pollfd probe{line.fd(), POLLIN, 0};
            if (::poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) {
                hungUp = false;
                if (opts.verbose)
                    log(QStringLiteral("%1 opened again").arg(line.path()));
                if (opts.autostart)
                    sim.start();
            }
            noteRunState(now);
            continue;
        }
        if (line.isPseudoTerminal() && (pfd.revents & POLLHUP)) {
            peerHungUp();
            noteRunState(now);
            continue;
        }
        if (pfd.revents & (POLLERR | POLLNVAL | POLLHUP)) {
            log(QStringLiteral("%1 reported an error").arg(line.path()));
            endReason = QStringLiteral("line failed");
            exitCode = 1;
            break;
        }
        if (pfd.revents & POLLIN)
            readLine();
        noteRunState(now);
    }

    // Another signal may cut the wait for the line short (a real device's drain may never end).
    sigprocmask(SIG_SETMASK, &waitMask, nullptr);
    if (!lineFailed && !hungUp)
        bytesLeftInLine = line.waitUntilTaken(LingerMs);
    finishedAt = Clock::now();
    printSummary();
    if (!opts.reportPath.isEmpty() && !writeReport())
        exitCode = exitCode ? exitCode : 1;
    return exitCode;
}

QJsonObject BoardRunner::report() const
{
    const quint64 dataFrames = queue.sent(OutputQueue::DataFrame);
    const quint64 lines = queue.sent(OutputQueue::TextLine);
    const quint64 commandFrames = queue.sent(OutputQueue::CommandFrame);
    QJsonObject r;
    r[QStringLiteral("device")] = line.path();
    r[QStringLiteral("mode")] =
        opts.stringMode ? QStringLiteral("string") : QStringLiteral("binary");
    r[QStringLiteral("rate")] =
        opts.maxRate ? QJsonValue(QStringLiteral("max")) : QJsonValue(opts.rate);
    r[QStringLiteral("seconds")] = secondsBetween(startedAt, finishedAt);
    r[QStringLiteral("frames")] = double(dataFrames + commandFrames);
    r[QStringLiteral("data_frames")] = double(dataFrames);
    r[QStringLiteral("command_frames")] = double(commandFrames);
    r[QStringLiteral("lines")] = double(lines);
    r[QStringLiteral("samples")] = double(dataFrames + lines * BoardSimulator::Channels);
    r[QStringLiteral("bytes")] = double(queue.bytesSent());
    r[QStringLiteral("unsent_items")] = double(queue.pendingItems() + queue.itemsDiscarded());
    r[QStringLiteral("unsent_bytes")] =
        double(queue.pendingBytes() + qint64(queue.bytesDiscarded()));
    r[QStringLiteral("bytes_left_in_line")] = bytesLeftInLine;
    r[QStringLiteral("corrupted_bytes")] = double(injector.corrupted());
    r[QStringLiteral("periods_slipped")] = double(periodsSlipped);
    r[QStringLiteral("received_bytes")] = double(bytesReceived);
    r[QStringLiteral("received_frames")] = double(protocol.framesHandled());
    r[QStringLiteral("ignored_frames")] = double(protocol.framesIgnored());
    r[QStringLiteral("skipped_bytes")] = double(protocol.bytesSkipped());
    r[QStringLiteral("starts")] = double(starts);
    r[QStringLiteral("stops")] = double(stops);
    r[QStringLiteral("hangups")] = double(hangUps);
    r[QStringLiteral("replayed_records")] = double(queue.sent(OutputQueue::Replayed));
    r[QStringLiteral("replay_damage")] = player.damage();
    r[QStringLiteral("end")] = endReason;
    return r;
}

void BoardRunner::printSummary() const
{
    const QJsonObject r = report();
    auto n = [&r](const char *key) { return qint64(r.value(QLatin1String(key)).toDouble()); };
    log(QStringLiteral("%1 after %2 s: sent %3 frames (%4 channel data, %5 command), %6 text "
                       "lines, %7 samples, %8 bytes; %9 unsent")
            .arg(endReason)
            .arg(r.value(QLatin1String("seconds")).toDouble(), 0, 'f', 2)
            .arg(n("frames"))
            .arg(n("data_frames"))
            .arg(n("command_frames"))
            .arg(n("lines"))
            .arg(n("samples"))
            .arg(n("bytes"))
            .arg(n("unsent_items")));
    if (bytesLeftInLine > 0)
        log(QStringLiteral("%1 bytes sent into the line were never read").arg(bytesLeftInLine));
    if (injector.isActive() || protocol.bytesSkipped() > 0 || periodsSlipped > 0)
        log(QStringLiteral("%1 bytes corrupted on purpose, %2 received bytes skipped, %3 sample "
                           "periods left out for a slow line")
                .arg(injector.corrupted())
                .arg(protocol.bytesSkipped())
                .arg(periodsSlipped));
}

bool BoardRunner::writeReport() const
{
    QFile file(opts.reportPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(report()).toJson()) < 0 || !file.flush()) {
        log(QStringLiteral("cannot write the report to %1: %2")
                .arg(opts.reportPath, file.errorString()));
        return false;
    }
    return true;
}
