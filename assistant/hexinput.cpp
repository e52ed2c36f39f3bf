#include "assistant/hexinput.h"

std::optional<QByteArray> parseHexInput(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 5 + 1);
    for (int position = 0; position < text.size(); position += 5) {
        bool ok = false;
        const uint value = text.midRef(position, 4).toUInt(&ok, 0);
        if (!ok)
            return std::nullopt;
        bytes.append(static_cast<char>(value & 0xFF));
    }
    return bytes;
}
