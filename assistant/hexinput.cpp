#include "assistant/hexinput.h"

namespace {
constexpr int ValueWidth = 4;
constexpr int Stride = ValueWidth + 1;

bool holdsSpace(const QStringRef &value)
{
    for (const QChar c : value) {
        if (c.isSpace())
            return true;
    }
    return false;
}
} // namespace

std::optional<QByteArray> parseHexInput(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / Stride + 1);
    for (int position = 0; position < text.size(); position += Stride) {
        const QStringRef value = text.midRef(position, ValueWidth);
        const int separator = position + ValueWidth;
        if (holdsSpace(value) || (separator < text.size() && text.at(separator).isLetterOrNumber()))
            return std::nullopt;
        bool ok = false;
        const uint number = value.toUInt(&ok, 0);
        if (!ok)
            return std::nullopt;
        bytes.append(static_cast<char>(number & 0xFF));
    }
    return bytes;
}
