#include "serial/portsettings.h"

PortSettings PortSettings::fromTexts(const QString &baudRate, const QString &dataBits,
                                     const QString &parity, const QString &stopBits)
{
    PortSettings settings;
    settings.baudRate = static_cast<qint32>(baudRate.toUInt(nullptr, 10));

    switch (dataBits.toUInt(nullptr, 10)) {
    case 5:
        settings.dataBits = QSerialPort::Data5;
        break;
    case 6:
        settings.dataBits = QSerialPort::Data6;
        break;
    case 7:
        settings.dataBits = QSerialPort::Data7;
        break;
    default:
        settings.dataBits = QSerialPort::Data8;
        break;
    }

    if (parity == QStringLiteral("奇"))
        settings.parity = QSerialPort::OddParity;
    else if (parity == QStringLiteral("偶"))
        settings.parity = QSerialPort::EvenParity;
    else
        settings.parity = QSerialPort::NoParity;

    settings.stopBits =
        stopBits.toUInt(nullptr, 10) == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    return settings;
}

void PortSettings::applyTo(QSerialPort &port) const
{
    port.setBaudRate(baudRate, QSerialPort::AllDirections);
    port.setDataBits(dataBits);
    port.setParity(parity);
    port.setStopBits(stopBits);
    port.setFlowControl(QSerialPort::NoFlowControl);
}
