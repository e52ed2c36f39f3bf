#pragma once

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>

#include <algorithm>

// The raw capture file (docs/capture-format.md): a 16-byte header, then one record per chunk
// of received bytes. All numbers little-endian. Every offset is here, for writer and reader.
namespace CaptureFormat {
constexpr char Magic[] = "TVCAP"; // five bytes, no terminator in the file
constexpr int MagicSize = 5;
constexpr quint8 Version = 1;
// Magic, version (u8), header size (u16), start time in ms since 1970 UTC (u64).
constexpr int HeaderSize = 16;
// Time in µs since the capture started (u64), length (u32), then the bytes.
constexpr int RecordHeaderSize = 12;
// Longer chunks are split; a longer length marks a damaged file.
constexpr quint32 MaxRecordBytes = 16 * 1024 * 1024;

struct Header
{
    int version = Version;
    int size = HeaderSize; // a later revision may add fields
    quint64 startMs = 0;
};

inline QByteArray encodeHeader(quint64 startMs)
{
    QByteArray head(HeaderSize, '\0');
    std::copy_n(Magic, MagicSize, head.data());
    head[5] = char(Version);
    qToLittleEndian(quint16(HeaderSize), head.data() + 6);
    qToLittleEndian(startMs, head.data() + 8);
    return head;
}

inline bool startsWithMagic(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray::fromRawData(Magic, MagicSize));
}

// `head`: HeaderSize bytes.
inline Header decodeHeader(const char *head)
{
    return {quint8(head[5]), qFromLittleEndian<quint16>(head + 6),
            qFromLittleEndian<quint64>(head + 8)};
}

struct RecordHeader
{
    quint64 timeUs;
    quint32 length;
};

inline void putRecordHeader(char *out, quint64 timeUs, quint32 length)
{
    qToLittleEndian(timeUs, out);
    qToLittleEndian(length, out + 8);
}

// `in`: RecordHeaderSize bytes.
inline RecordHeader recordHeader(const char *in)
{
    return {qFromLittleEndian<quint64>(in), qFromLittleEndian<quint32>(in + 8)};
}
} // namespace CaptureFormat
