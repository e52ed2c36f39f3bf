#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The send box in hexadecimal mode: values of four characters ("0x41") with exactly one
// separator of any kind between them. Each value is read with base 0 (0x hexadecimal, a leading
// 0 octal, else decimal) and its low eight bits are the byte. Nothing when any value fails to
// read, so a typo never sends part of the input. Empty text gives no bytes.
//
// The fixed width alone would misread some input: "0x41  0x42" reads " 0x4" as 4, "0x141" reads
// 0x14 and skips the 1. So a value holding white space (a separator inside the value; the
// number reader would skip it) and a separator position holding a letter or digit (part of a
// value that does not fit four characters) are refused too. What the width reads as typed
// gives the same bytes as ever, a shorter last value ("0x41 7") included.
std::optional<QByteArray> parseHexInput(const QString &text);
