#include "datafiles/timedwriter.h"

#include "base/arrivalclock.h"

#include <QDateTime>

#include <algorithm>

TimedWriter::TimedWriter(AppendFile::WholeRecords wholeRecords, const char *pattern,
                         QObject *parent)
    : QObject(parent), namePattern(pattern), file(std::move(wholeRecords))
{
    connect(&file, &AppendFile::flushed, this,
            [this] { Q_EMIT progress(fileSize(), durationMs()); });
    connect(&file, &AppendFile::failed, this, [this](const QString &reason) {
        stoppedAtMs = elapsedMs();
        Q_EMIT failed(reason);
    });
}

TimedWriter::~TimedWriter() = default;

QString TimedWriter::defaultFileName(const QDateTime &at) const
{
    return at.toString(QLatin1String(namePattern));
}

bool TimedWriter::start(const QString &path)
{
    stop();
    items = 0;
    stoppedAtMs = 0;
    if (!file.open(path, header()))
        return false;
    startNs = ArrivalClock::nowNs();
    return true;
}

void TimedWriter::stop()
{
    if (!file.isOpen())
        return;
    stoppedAtMs = elapsedMs();
    file.close();
}

qint64 TimedWriter::durationMs() const
{
    return file.isOpen() ? elapsedMs() : stoppedAtMs;
}

qint64 TimedWriter::elapsedMs() const
{
    return (ArrivalClock::nowNs() - startNs) / 1000000;
}

qint64 TimedWriter::sinceStartNs(qint64 arrivalNs) const
{
    return std::max<qint64>(0, (arrivalNs < 0 ? ArrivalClock::nowNs() : arrivalNs) - startNs);
}
