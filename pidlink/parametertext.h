#pragma once

#include <QString>

#include <optional>

// A parameter field's text as the value to write to the board. Only a text that QString::toFloat
// reads as a finite number counts: "abc", "0,5", an empty field, "1e99" (out of range), "inf" and
// "nan" give nothing, so a typo never reaches a motor as a zero gain or target. White space
// around the number is allowed, as toFloat allows it, so every text that was a number before
// still sends the same value.
std::optional<float> parameterValue(const QString &text);
