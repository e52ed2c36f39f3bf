#pragma once

#include <QtEndian>
#include <QtGlobal>

// The raw capture file (docs/capture-format.md): a 16-byte header, then one record per chunk
// of received bytes. All numbers little-endian.
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

inline void putRecordHeader(char *out, quint64 timeUs, quint32 length)
{
    qToLittleEndian(timeUs, out);
    qToLittleEndian(length, out + 8);
}
} // namespace CaptureFormat
