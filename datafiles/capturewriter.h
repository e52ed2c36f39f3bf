#pragma once

#include "datafiles/timedwriter.h"

// Captures every byte received on the port, with its arrival time, to a raw capture file
// (CaptureFormat) that the board simulator can play back.
class CaptureWriter : public TimedWriter
{
    Q_OBJECT

public:
    explicit CaptureWriter(QObject *parent = nullptr);

public Q_SLOTS:
    // Bytes as read from the port, stamped with their read (ArrivalClock; negative: now).
    // Ignored while not capturing.
    void addBytes(const QByteArray &bytes, qint64 arrivalNs = -1);

protected:
    QByteArray header() const override;
};
