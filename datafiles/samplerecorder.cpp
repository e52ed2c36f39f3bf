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

void SampleRecorder::addSamples(const ChannelSamples &samples, qint64 arrivalNs)
{
    QByteArray *out = records();
    if (!out)
        return;
    const qint64 ms = sinceStartNs(arrivalNs) / 1000000;
    int count = 0;
    for (const ChannelSample &s : samples) {
        if (s.channel < 0 || s.channel > 3)
            continue;
        RecordingCodec::appendRow(*out, ms, s.channel, s.actual, s.target);
        ++count;
    }
    added(count);
}
