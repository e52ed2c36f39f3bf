#include "datafiles/samplerecorder.h"
#include "base/arrivalclock.h"

#include "datafiles/recordingcodec.h"

#include <QDateTime>

#include <algorithm>

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
        stoppedAtMs = elapsedMs();
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
    startNs = ArrivalClock::nowNs();
    return true;
}

void SampleRecorder::stop()
{
    if (!file.isOpen())
        return;
    stoppedAtMs = elapsedMs();
    file.close();
}

qint64 SampleRecorder::durationMs() const
{
    return file.isOpen() ? elapsedMs() : stoppedAtMs;
}

void SampleRecorder::addSample(int channel, float actual, float target, qint64 arrivalNs)
{
    if (!file.isOpen() || channel < 0 || channel > 3)
        return;
    const qint64 at = arrivalNs < 0 ? ArrivalClock::nowNs() : arrivalNs;
    const qint64 ms = std::max<qint64>(0, at - startNs) / 1000000;
    RecordingCodec::appendRow(file.buffer(), ms, channel, actual, target);
    ++samples;
    file.recordsAdded();
}

qint64 SampleRecorder::elapsedMs() const
{
    return (ArrivalClock::nowNs() - startNs) / 1000000;
}
