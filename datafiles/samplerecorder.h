#pragma once

#include "base/channelsample.h"
#include "datafiles/timedwriter.h"

// Records every sample of every channel to a file as it arrives (the rows of RecordingCodec),
// whatever the chart keeps.
class SampleRecorder : public TimedWriter
{
    Q_OBJECT

public:
    explicit SampleRecorder(QObject *parent = nullptr);

public Q_SLOTS:
    // The samples of a read as the link delivers them, stamped with the read (ArrivalClock;
    // negative: now); channels outside 0..3 are skipped. Ignored while not recording.
    void addSamples(const ChannelSamples &samples, qint64 arrivalNs = -1);

protected:
    QByteArray header() const override;
};
