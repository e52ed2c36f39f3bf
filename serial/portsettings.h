#pragma once

#include <QString>

// Line settings read from the texts of a tab's settings boxes. Conversions never fail: a text
// that is not a number reads as 0 and unknown values fall back to 8N1. Plain values, so the
// conversion needs no serial port; PortController hands them to QSerialPort.
class PortSettings
{
public:
    enum class Parity { None, Even, Odd };

    static PortSettings fromTexts(const QString &baudRate, const QString &dataBits,
                                  const QString &parity, const QString &stopBits);

    qint32 baudRate = 0;
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    int stopBits = 1; // 1 or 2
};
