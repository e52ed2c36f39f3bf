#include "datafiles/samplerecorder.h"

#include "datafiles/recordingcodec.h"

#include <QDateTime>

namespace {
// Rows end with LF; a row cut in the middle has none yet.
qint64 wholeRows(const char *data, qint64 size)
{
    qint64 n = size;
    while (n > 0 && data[n - 1] != '\n')
        --n;
    return n;
}
} // namespace

SampleRecorder::SampleRecorder(QObject *parent) : QObject(parent), file(wholeRows)
{
    connect(&file, &AppendFile::flushed, this,
            [this] { Q_EMIT progress(bytesRecorded(), durationMs()); });
    connect(&file, &AppendFile::failed, this, [this](const QString &reason) {
        stoppedAtMs = clock.elapsed();
        Q_EMIT failed(reason);
    });
}

SampleRecorder::~SampleRecorder() = default;

QString SampleRecorder::defaultFileName(const QDateTime &at)
{
    return at.toString(QStringLiteral("'Record-'yyyyMMdd-HHmmss'.csv'"));
}

bool SampleRecorder::start(const QString &path)
{
    stop();
    samples = 0;
    stoppedAtMs = 0;
    if (!file.open(path, RecordingCodec::headerLine()))
        return false;
    clock.start();
    return true;
}

void SampleRecorder::stop()
{
    if (!file.isOpen())
        return;
    stoppedAtMs = clock.elapsed();
    file.close();
}

qint64 SampleRecorder::durationMs() const
{
    return file.isOpen() ? clock.elapsed() : stoppedAtMs;
}

void SampleRecorder::addSample(int channel, float actual, float target)
{
    if (!file.isOpen() || channel < 0 || channel > 3)
        return;
    RecordingCodec::appendRow(file.buffer(), clock.elapsed(), channel, actual, target);
    ++samples;
    file.recordsAdded();
}
