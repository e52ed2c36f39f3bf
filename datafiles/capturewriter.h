#pragma once

#include "datafiles/appendfile.h"

#include <QObject>

// Captures every byte received on the port, with its arrival time, to a raw capture file
// (CaptureFormat) that the board simulator can play back. Written like a recording: to disk
// at least once a second, stopped with the reason when the disk refuses a write.
class CaptureWriter : public QObject
{
    Q_OBJECT

public:
    explicit CaptureWriter(QObject *parent = nullptr);
    ~CaptureWriter() override;

    // Creates or replaces the file and writes its header; time counts from now. False, with
    // errorString(), when the file cannot be written.
    bool start(const QString &path);
    void stop();
    bool isCapturing() const { return file.isOpen(); }

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }
    // Received bytes captured, and the size of the file with its headers.
    qint64 bytesCaptured() const { return captured; }
    qint64 fileSize() const { return file.size(); }
    qint64 durationMs() const;

public Q_SLOTS:
    // Bytes as read from the port, stamped with their read (ArrivalClock; negative: now).
    // Ignored while not capturing.
    void addBytes(const QByteArray &bytes, qint64 arrivalNs = -1);

Q_SIGNALS:
    // While capturing, after each write to disk (at least once a second).
    void progress(qint64 fileBytes, qint64 durationMs);
    void failed(const QString &reason);

private:
    AppendFile file;
    qint64 startNs = 0; // on ArrivalClock
    qint64 elapsedMs() const;
    qint64 stoppedAtMs = 0;
    qint64 captured = 0;
};
