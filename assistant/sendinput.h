#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the serial assistant sends for the send box's text: in hexadecimal mode the bytes
// parseHexInput reads, nothing when it fails, and never a line end; otherwise the text as
// UTF-8 (like the receive display, so typed Chinese arrives intact), with CR LF when asked.
std::optional<QByteArray> sendInputBytes(const QString &text, bool hex, bool newLine);

// The auto-send period box: whole milliseconds from 1 up to what a timer takes. A period of 0
// would send whenever the event loop is idle and flood the line.
std::optional<int> parseSendPeriod(const QString &text);
