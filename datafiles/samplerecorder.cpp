#include "datafiles/samplerecorder.h"

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

SampleRecorder::SampleRecorder(QObject *parent)
    : TimedWriter(wholeRows, "'Record-'yyyyMMdd-HHmmss'.csv'", parent)
{
}

QByteArray SampleRecorder::header() const
{
    return RecordingCodec::headerLine();
}

void SampleRecorder::addSample(int channel, float actual, float target, qint64 arrivalNs)
{
    QByteArray *out = records();
    if (!out || channel < 0 || channel > 3)
        return;
    RecordingCodec::appendRow(*out, sinceStartNs(arrivalNs) / 1000000, channel, actual, target);
    added(1);
}
