#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The send box in hexadecimal mode: values of four characters ("0x41") with exactly one
// separator of any kind between them. Each value is read with base 0 (0x hexadecimal, a leading
// 0 octal, else decimal) and its low eight bits are the byte. Nothing when any value fails to
// read, so a typo never sends part of the input. Empty text gives no bytes.
std::optional<QByteArray> parseHexInput(const QString &text);
