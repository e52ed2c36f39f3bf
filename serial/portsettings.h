#pragma once

#include <QSerialPort>
#include <QString>

// Line settings read from the texts of a tab's settings boxes. Conversions never fail: a text
// that is not a number reads as 0 and unknown values fall back to 8N1.
class PortSettings
{
public:
    static PortSettings fromTexts(const QString &baudRate, const QString &dataBits,
                                  const QString &parity, const QString &stopBits);

    // Setter results are not checked: the port stays open with whatever the driver accepted.
    void applyTo(QSerialPort &port) const;

    qint32 baudRate = 0;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
