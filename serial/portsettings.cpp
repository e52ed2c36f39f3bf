#include "serial/portsettings.h"

#include <algorithm>

PortSettings PortSettings::fromTexts(const QString &baudRate, const QString &dataBits,
                                     const QString &parity, const QString &stopBits)
{
    PortSettings settings;
    settings.baudRate = parseBaudRate(baudRate, &settings.problem);

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

qint32 PortSettings::parseBaudRate(const QString &text, QString *problem)
{
    const QString digits = text.trimmed();
    QString reason;
    qint32 rate = 0;
    if (digits.isEmpty()) {
        reason = QStringLiteral("波特率不能为空");
    } else if (!std::all_of(
                   digits.begin(), digits.end(),
                   [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }) ||
               digits.count(QLatin1Char('0')) == digits.size()) {
        reason = QStringLiteral("波特率必须是正整数");
    } else {
        // Past ten digits it is out of range whatever it says; no overflow on the way.
        const qint64 value = digits.size() > 10 ? qint64(MaxBaudRate) + 1 : digits.toLongLong();
        if (value < MinBaudRate || value > MaxBaudRate)
            reason = QStringLiteral("波特率超出范围（%1～%2）").arg(MinBaudRate).arg(MaxBaudRate);
        else
            rate = qint32(value);
    }
    if (problem)
        *problem = reason;
    return rate;
}

bool PortSettings::applyTo(QSerialPort &port, QString *refusal) const
{
    QString why;
    if (!port.setBaudRate(baudRate, QSerialPort::AllDirections))
        why = QStringLiteral("驱动不支持波特率%1").arg(baudRate);
    else if (!port.setDataBits(dataBits) || !port.setParity(parity) || !port.setStopBits(stopBits))
        why = QStringLiteral("驱动不支持该数据格式");
    // Not all drivers know flow control; none is the default anyway.
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (refusal)
        *refusal = why;
    return why.isEmpty();
}
