#pragma once

#include <QByteArray>

// What the benchmarks send: deterministic board traffic, so every run sees the same bytes.

// A smooth response with some ripple, for channel 0..3 at sample `index`.
float sampleWave(int channel, qint64 index);

// Channel data frames number first .. first + count - 1; frame k carries channel k % 4.
void appendChannelFrames(QByteArray &out, qint64 first, qint64 count);

// String-mode lines number first .. first + count - 1, eight fields each.
void appendSampleLines(QByteArray &out, qint64 first, qint64 count);

// Bytes first .. first + count - 1 of an endless terminal log: ASCII lines ending in CR LF.
void appendTerminalText(QByteArray &out, qint64 first, qint64 count);
