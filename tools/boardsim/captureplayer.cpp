#include "tools/boardsim/captureplayer.h"

bool CapturePlayer::open(const QString &path, double playSpeed, QString *error)
{
    speed = playSpeed;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open the capture %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!reader.readHeader()) {
        *error = QStringLiteral("%1: %2").arg(path, reader.errorString());
        return false;
    }
    readNext();
    if (!hasNext && reader.hasError()) {
        *error = QStringLiteral("%1: %2").arg(path, reader.errorString());
        return false;
    }
    firstTimeUs = hasNext ? next.timeUs : 0;
    return true;
}

void CapturePlayer::start(Clock::time_point now)
{
    started = true;
    startedAt = now;
}

CapturePlayer::Clock::time_point CapturePlayer::nextDue() const
{
    if (speed <= 0.0)
        return startedAt;
    const double seconds = double(next.timeUs - firstTimeUs) / 1e6 / speed;
    return startedAt +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

QByteArray CapturePlayer::takeNext()
{
    QByteArray bytes = std::move(next.bytes);
    ++records;
    readNext();
    return bytes;
}

void CapturePlayer::readNext()
{
    hasNext = reader.next(next);
}
