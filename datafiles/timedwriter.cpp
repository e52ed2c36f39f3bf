#include "datafiles/timedwriter.h"

#include <QDateTime>

TimedWriter::TimedWriter(AppendFile::WholeRecords wholeRecords, const char *pattern,
                         QObject *parent)
    : QObject(parent), namePattern(pattern), file(std::move(wholeRecords))
{
    connect(&file, &AppendFile::flushed, this,
            [this] { Q_EMIT progress(fileSize(), durationMs()); });
    connect(&file, &AppendFile::failed, this, [this](const QString &reason) {
        stoppedAtMs = started.elapsed();
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
    started.start();
    return true;
}

void TimedWriter::stop()
{
    if (!file.isOpen())
        return;
    stoppedAtMs = started.elapsed();
    file.close();
}

qint64 TimedWriter::durationMs() const
{
    return file.isOpen() ? started.elapsed() : stoppedAtMs;
}
