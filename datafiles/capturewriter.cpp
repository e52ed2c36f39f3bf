#include "datafiles/capturewriter.h"
#include "base/arrivalclock.h"

#include "datafiles/captureformat.h"

#include <QDateTime>

#include <algorithm>

namespace {
qint64 wholeRecords(const char *data, qint64 size)
{
    qint64 at = 0;
    while (size - at >= CaptureFormat::RecordHeaderSize) {
        const qint64 length = qFromLittleEndian<quint32>(data + at + 8);
        if (size - at - CaptureFormat::RecordHeaderSize < length)
            break;
        at += CaptureFormat::RecordHeaderSize + length;
    }
    return at;
}
} // namespace

CaptureWriter::CaptureWriter(QObject *parent) : QObject(parent), file(wholeRecords)
{
    connect(&file, &AppendFile::flushed, this,
            [this] { Q_EMIT progress(fileSize(), durationMs()); });
    connect(&file, &AppendFile::failed, this, [this](const QString &reason) {
        stoppedAtMs = elapsedMs();
        Q_EMIT failed(reason);
    });
}

CaptureWriter::~CaptureWriter() = default;

bool CaptureWriter::start(const QString &path)
{
    stop();
    captured = 0;
    stoppedAtMs = 0;
    char header[CaptureFormat::HeaderSize];
    std::copy(CaptureFormat::Magic, CaptureFormat::Magic + CaptureFormat::MagicSize, header);
    header[5] = char(CaptureFormat::Version);
    qToLittleEndian(quint16(CaptureFormat::HeaderSize), header + 6);
    qToLittleEndian(quint64(QDateTime::currentMSecsSinceEpoch()), header + 8);
    if (!file.open(path, QByteArray(header, CaptureFormat::HeaderSize)))
        return false;
    startNs = ArrivalClock::nowNs();
    return true;
}

void CaptureWriter::stop()
{
    if (!file.isOpen())
        return;
    stoppedAtMs = elapsedMs();
    file.close();
}

qint64 CaptureWriter::durationMs() const
{
    return file.isOpen() ? elapsedMs() : stoppedAtMs;
}

void CaptureWriter::addBytes(const QByteArray &bytes, qint64 arrivalNs)
{
    if (!file.isOpen() || bytes.isEmpty())
        return;
    const qint64 readNs = arrivalNs < 0 ? ArrivalClock::nowNs() : arrivalNs;
    const quint64 timeUs = quint64(std::max<qint64>(0, readNs - startNs) / 1000);
    QByteArray &out = file.buffer();
    for (int at = 0; at < bytes.size();) {
        const int length =
            int(std::min<qsizetype>(bytes.size() - at, CaptureFormat::MaxRecordBytes));
        char head[CaptureFormat::RecordHeaderSize];
        CaptureFormat::putRecordHeader(head, timeUs, quint32(length));
        out.append(head, CaptureFormat::RecordHeaderSize);
        out.append(bytes.constData() + at, length);
        at += length;
    }
    captured += bytes.size();
    file.recordsAdded();
}

qint64 CaptureWriter::elapsedMs() const
{
    return (ArrivalClock::nowNs() - startNs) / 1000000;
}
