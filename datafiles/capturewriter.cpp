#include "datafiles/capturewriter.h"

#include "datafiles/captureformat.h"

#include <QDateTime>

#include <algorithm>

namespace {
qint64 wholeRecords(const char *data, qint64 size)
{
    qint64 at = 0;
    while (size - at >= CaptureFormat::RecordHeaderSize) {
        const qint64 length = CaptureFormat::recordHeader(data + at).length;
        if (size - at - CaptureFormat::RecordHeaderSize < length)
            break;
        at += CaptureFormat::RecordHeaderSize + length;
    }
    return at;
}
} // namespace

CaptureWriter::CaptureWriter(QObject *parent)
    : TimedWriter(wholeRecords, "'Capture-'yyyyMMdd-HHmmss'.tvcap'", parent)
{
}

QByteArray CaptureWriter::header() const
{
    return CaptureFormat::encodeHeader(quint64(QDateTime::currentMSecsSinceEpoch()));
}

void CaptureWriter::addBytes(const QByteArray &bytes, qint64 arrivalNs)
{
    QByteArray *out = records();
    if (!out || bytes.isEmpty())
        return;
    const quint64 timeUs = quint64(sinceStartNs(arrivalNs) / 1000);
    for (int at = 0; at < bytes.size();) {
        const int length =
            int(std::min<qsizetype>(bytes.size() - at, CaptureFormat::MaxRecordBytes));
        char head[CaptureFormat::RecordHeaderSize];
        CaptureFormat::putRecordHeader(head, timeUs, quint32(length));
        out->append(head, CaptureFormat::RecordHeaderSize);
        out->append(bytes.constData() + at, length);
        at += length;
    }
    added(quint64(bytes.size()));
}
