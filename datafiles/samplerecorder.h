#pragma once

#include "datafiles/timedwriter.h"

// Records every sample of every channel to a file as it arrives (the rows of RecordingCodec),
// whatever the chart keeps.
class SampleRecorder : public TimedWriter
{
    Q_OBJECT

public:
    explicit SampleRecorder(QObject *parent = nullptr);

public Q_SLOTS:
    // One sample of channel 0..3, as the link delivers it, stamped with its read
    // (ArrivalClock; negative: now). Ignored while not recording.
    void addSample(int channel, float actual, float target, qint64 arrivalNs = -1);

protected:
    QByteArray header() const override;
};
