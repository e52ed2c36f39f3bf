#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads a raw capture file (CaptureFormat) record by record from any device, so a capture of
// any length plays without being loaded whole. A damaged or cut file reads up to the damage
// and then says where it is.
class CaptureReader
{
public:
    struct Record
    {
        quint64 timeUs; // since the capture started
        QByteArray bytes;
    };

    explicit CaptureReader(QIODevice *source) : device(source) {}

    // Checks magic and version. False with errorString() for anything else.
    bool readHeader();
    // The next record; false at the end of the file (hasError() false) or at damage.
    bool next(Record &record);

    bool hasError() const { return !error.isEmpty(); }
    QString errorString() const { return error; }
    int version() const { return fileVersion; }
    // When the capture started, ms since 1970 UTC.
    qint64 startedAtMs() const { return startMs; }
    qint64 recordsRead() const { return records; }
    // Where the record next() gave last begins in the file.
    qint64 lastRecordOffset() const { return lastOffset; }

private:
    bool fail(const QString &message);

    QIODevice *device;
    QString error;
    int fileVersion = 0;
    qint64 startMs = 0;
    qint64 records = 0;
    qint64 offset = 0;
    qint64 lastOffset = 0;
    quint64 lastTimeUs = 0;
};
