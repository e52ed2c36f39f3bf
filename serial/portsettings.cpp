#include "serial/portsettings.h"

#include <algorithm>
#include <array>

namespace {
// In the order of PortSettings::Parity.
const std::array<const char *, 3> parityNames = {
    QT_TRANSLATE_NOOP("PortSettings", "无"),
    QT_TRANSLATE_NOOP("PortSettings", "偶"),
    QT_TRANSLATE_NOOP("PortSettings", "奇"),
};
} // namespace

QString PortSettings::parityText(Parity parity)
{
    return tr(parityNames[std::size_t(parity)]);
}

PortSettings PortSettings::fromTexts(const QString &baudRate, const QString &dataBits,
                                     const QString &parity, const QString &stopBits)
{
    PortSettings settings;
    settings.baudRate = parseBaudRate(baudRate, &settings.problem);

    const uint bits = dataBits.toUInt(nullptr, 10);
    settings.dataBits = bits >= 5 && bits <= 7 ? int(bits) : 8;

    // The box shows the entries in the interface's language; the Chinese ones are always
    // understood.
    settings.parity = Parity::None;
    for (const Parity p : {Parity::Even, Parity::Odd}) {
        if (parity == parityText(p) || parity == QString::fromUtf8(parityNames[std::size_t(p)]))
            settings.parity = p;
    }

    settings.stopBits = stopBits.toUInt(nullptr, 10) == 2 ? 2 : 1;
    return settings;
}

qint32 PortSettings::parseBaudRate(const QString &text, QString *problem)
{
    const QString digits = text.trimmed();
    QString reason;
    qint32 rate = 0;
    if (digits.isEmpty()) {
        reason = tr("波特率不能为空");
    } else if (!std::all_of(
                   digits.begin(), digits.end(),
                   [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }) ||
               digits.count(QLatin1Char('0')) == digits.size()) {
        reason = tr("波特率必须是正整数");
    } else {
        // Past ten digits it is out of range whatever it says; no overflow on the way.
        const qint64 value = digits.size() > 10 ? qint64(MaxBaudRate) + 1 : digits.toLongLong();
        if (value < MinBaudRate || value > MaxBaudRate)
            reason = tr("波特率超出范围（%1～%2）").arg(MinBaudRate).arg(MaxBaudRate);
        else
            rate = qint32(value);
    }
    if (problem)
        *problem = reason;
    return rate;
}
