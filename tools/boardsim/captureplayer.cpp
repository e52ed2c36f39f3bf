#include "tools/boardsim/captureplayer.h"

#include <cmath>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// Opens a regular file without waiting: a FIFO's open would wait for a writer, beyond the reach
// of the signals that end the program. Empty on success, else why not.
QString openRegular(QFile &file, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    // Whatever was put at the path between the two looks.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return QStringLiteral("not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return QString();
}
#else
QString openRegular(QFile &file, const QString &path)
{
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? QString() : file.errorString();
}
#endif
} // namespace

bool CapturePlayer::open(const QString &path, double playSpeed, quint64 maxGapUs, QString *error)
{
    speedPpm = playSpeed > 0.0 ? quint64(std::llround(playSpeed * 1e6)) : 0;
    if (playSpeed > 0.0 && speedPpm == 0)
        speedPpm = 1;
    maxGap = maxGapUs;
    const QString why = openRegular(file, path);
    if (!why.isEmpty()) {
        *error = QStringLiteral("cannot open the capture %1: %2").arg(path, why);
        return false;
    }
    if (!reader.readHeader()) {
        *error = QStringLiteral("%1: %2").arg(path, reader.errorString());
        return false;
    }
    readNext();
    if (!hasNext && !damage().isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(path, damage());
        return false;
    }
    return true;
}

void CapturePlayer::start(Clock::time_point now)
{
    started = true;
    startedAt = now;
}

CapturePlayer::Clock::time_point CapturePlayer::nextDue() const
{
    if (speedPpm == 0)
        return startedAt;
    // At most MaxPlayUs, so the nanoseconds fit.
    return startedAt + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::microseconds(qint64(nextPlayUs)));
}

QByteArray CapturePlayer::takeNext()
{
    QByteArray bytes = std::move(next.bytes);
    ++records;
    readNext();
    return bytes;
}

quint64 CapturePlayer::takeLongGap()
{
    const quint64 gap = longGap;
    longGap = 0;
    return gap;
}

QString CapturePlayer::damage() const
{
    return beyondRange.isEmpty() ? reader.errorString() : beyondRange;
}

bool CapturePlayer::scaled(quint64 us, quint64 &out) const
{
    if (us > MaxPlayUs)
        return false;
    // us * 10^6 / speedPpm in two parts that cannot overflow: the rest is below speedPpm,
    // at most 10^12, and 10^12 * 10^6 fits in 64 bits.
    const quint64 whole = us / speedPpm;
    if (whole > MaxPlayUs / 1'000'000)
        return false;
    out = whole * 1'000'000 + us % speedPpm * 1'000'000 / speedPpm;
    return out <= MaxPlayUs;
}

void CapturePlayer::readNext()
{
    hasNext = reader.next(next);
    if (!hasNext)
        return;
    if (!haveFirst) {
        haveFirst = true;
        firstTimeUs = next.timeUs;
        anchorRecordedUs = next.timeUs;
        return;
    }
    // Times never go back (the reader checks), so these never wrap.
    quint64 play = 0;
    const bool inRange = next.timeUs - firstTimeUs <= MaxPlayUs &&
                         (speedPpm == 0 || scaled(next.timeUs - anchorRecordedUs, play));
    if (speedPpm != 0 && inRange) {
        const quint64 previous = nextPlayUs;
        play += anchorPlayUs;
        if (maxGap > 0 && play - previous > maxGap) {
            play = previous + maxGap;
            anchorRecordedUs = next.timeUs;
            anchorPlayUs = play;
        }
        if (play <= MaxPlayUs) {
            if (play - previous > LongGapUs)
                longGap = play - previous;
            nextPlayUs = play;
            return;
        }
    } else if (inRange) {
        return;
    }
    beyondRange =
        QStringLiteral("record %1 (at byte %2) is damaged: its time, %3 microseconds, lies beyond "
                       "what a replay can wait for")
            .arg(reader.recordsRead())
            .arg(reader.lastRecordOffset())
            .arg(next.timeUs);
    hasNext = false;
}
