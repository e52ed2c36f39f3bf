#include "assistant/sendinput.h"

#include "base/qtcompat.h"
#include "assistant/hexinput.h"

#include <limits>

std::optional<QByteArray> sendInputBytes(const QString &text, bool hex, bool newLine)
{
    if (hex)
        return parseHexInput(text);
    return (newLine ? text + QStringLiteral("\r\n") : text).toUtf8();
}

std::optional<int> parseSendPeriod(const QString &text)
{
    bool ok = false;
    const uint period = QtCompat::toUInt(text, &ok, 10);
    if (!ok || period == 0 || period > uint(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(period);
}
