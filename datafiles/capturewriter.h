#pragma once

#include "datafiles/timedwriter.h"

class QDateTime;

// Captures every byte received on the port, with its arrival time, to a raw capture file
// (CaptureFormat) that the board simulator can play back.
class CaptureWriter : public TimedWriter
{
    Q_OBJECT

public:
    explicit CaptureWriter(QObject *parent = nullptr);

    // "Capture-YYYYMMDD-HHMMSS.tvcap"
    static QString defaultFileName(const QDateTime &at);

    bool isCapturing() const { return isWriting(); }
    // Received bytes captured; fileSize() counts the headers too.
    qint64 bytesCaptured() const { return qint64(itemCount()); }

public Q_SLOTS:
    // Bytes as read from the port. Ignored while not capturing.
    void addBytes(const QByteArray &bytes);

protected:
    QByteArray header() const override;
};
