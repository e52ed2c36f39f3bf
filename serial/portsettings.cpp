#include "serial/portsettings.h"

PortSettings PortSettings::fromTexts(const QString &baudRate, const QString &dataBits,
                                     const QString &parity, const QString &stopBits)
{
    PortSettings settings;
    settings.baudRate = static_cast<qint32>(baudRate.toUInt(nullptr, 10));

    const uint bits = dataBits.toUInt(nullptr, 10);
    settings.dataBits = bits >= 5 && bits <= 7 ? int(bits) : 8;

    if (parity == QStringLiteral("奇"))
        settings.parity = Parity::Odd;
    else if (parity == QStringLiteral("偶"))
        settings.parity = Parity::Even;
    else
        settings.parity = Parity::None;

    settings.stopBits = stopBits.toUInt(nullptr, 10) == 2 ? 2 : 1;
    return settings;
}
