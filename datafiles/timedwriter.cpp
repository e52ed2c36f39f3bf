#include "datafiles/timedwriter.h"

TimedWriter::TimedWriter(AppendFile::WholeRecords wholeRecords, QObject *parent)
    : QObject(parent), file(std::move(wholeRecords))
{
    connect(&file, &AppendFile::flushed, this,
            [this] { Q_EMIT progress(fileSize(), durationMs()); });
    connect(&file, &AppendFile::failed, this, [this](const QString &reason) {
        stoppedAtMs = started.elapsed();
        Q_EMIT failed(reason);
    });
}

TimedWriter::~TimedWriter() = default;

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
