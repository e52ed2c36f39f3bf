#pragma once

#include "datafiles/captureformat.h"
#include "pidlink/pidframe.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <cstring>

// What tests write and expect: wire bytes, files and command lines.

// "--a 1 --b" as {"--a", "1", "--b"}; no argument holds a space.
inline QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Built over bytes that are no frame's, so a byte the builder leaves out shows.
inline QByteArray commandFrame(int op, int dir, int channel, float value = 0.0f)
{
    char frame[FrameSize];
    std::memset(frame, 0x55, sizeof frame);
    buildCommandFrame(frame, static_cast<unsigned char>(op), static_cast<unsigned char>(dir),
                      static_cast<unsigned char>(channel), 0, value);
    return QByteArray(frame, FrameSize);
}

inline QByteArray sampleFrame(int channel, float actual, float target)
{
    char frame[FrameSize];
    frame[0] = char('0' + channel);
    putFloatLE(frame + 1, actual);
    putFloatLE(frame + 5, target);
    frame[9] = '\n';
    return QByteArray(frame, FrameSize);
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// A raw capture's header and records.
inline QByteArray captureHeader(quint8 version = CaptureFormat::Version)
{
    return QByteArray("TVCAP") + char(version) + char(CaptureFormat::HeaderSize) +
           QByteArray(9, '\0');
}

inline QByteArray captureRecord(quint64 timeUs, const QByteArray &bytes)
{
    char head[CaptureFormat::RecordHeaderSize];
    CaptureFormat::putRecordHeader(head, timeUs, quint32(bytes.size()));
    return QByteArray(head, CaptureFormat::RecordHeaderSize) + bytes;
}
