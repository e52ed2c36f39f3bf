#include "datafiles/capturereader.h"

#include "datafiles/captureformat.h"

#include <QIODevice>

bool CaptureReader::fail(const QString &message)
{
    error = message;
    return false;
}

bool CaptureReader::readHeader()
{
    const QByteArray head = device->read(CaptureFormat::HeaderSize);
    if (!CaptureFormat::startsWithMagic(head))
        return fail(QStringLiteral("not a capture file (no TVCAP at its start)"));
    if (head.size() < CaptureFormat::HeaderSize)
        return fail(QStringLiteral("the capture file ends inside its header"));
    const CaptureFormat::Header header = CaptureFormat::decodeHeader(head.constData());
    fileVersion = header.version;
    if (fileVersion != CaptureFormat::Version)
        return fail(QStringLiteral("capture format version %1 is not supported (only %2)")
                        .arg(fileVersion)
                        .arg(CaptureFormat::Version));
    if (header.size < CaptureFormat::HeaderSize)
        return fail(QStringLiteral("the capture header claims %1 bytes, fewer than %2")
                        .arg(header.size)
                        .arg(CaptureFormat::HeaderSize));
    startMs = qint64(header.startMs);
    // A later revision may add to the header; skip what this one does not know.
    const int unknown = header.size - CaptureFormat::HeaderSize;
    if (unknown > 0 && device->read(unknown).size() != unknown)
        return fail(QStringLiteral("the capture file ends inside its header"));
    offset = header.size;
    return true;
}

bool CaptureReader::next(Record &record)
{
    if (hasError())
        return false;
    char head[CaptureFormat::RecordHeaderSize];
    const qint64 got = device->read(head, CaptureFormat::RecordHeaderSize);
    if (got == 0)
        return false;
    if (got < CaptureFormat::RecordHeaderSize)
        return fail(QStringLiteral("the capture ends inside record %1 (at byte %2)")
                        .arg(records + 1)
                        .arg(offset));
    const auto [timeUs, length] = CaptureFormat::recordHeader(head);
    if (length == 0 || length > CaptureFormat::MaxRecordBytes)
        return fail(QStringLiteral("record %1 (at byte %2) is damaged: length %3")
                        .arg(records + 1)
                        .arg(offset)
                        .arg(length));
    if (timeUs < lastTimeUs)
        return fail(QStringLiteral("record %1 (at byte %2) is damaged: its time goes back")
                        .arg(records + 1)
                        .arg(offset));
    record.bytes = device->read(length);
    if (record.bytes.size() != int(length))
        return fail(QStringLiteral("the capture ends inside record %1 (at byte %2)")
                        .arg(records + 1)
                        .arg(offset));
    record.timeUs = timeUs;
    lastTimeUs = timeUs;
    lastOffset = offset;
    offset += CaptureFormat::RecordHeaderSize + length;
    ++records;
    return true;
}
