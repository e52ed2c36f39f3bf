#include "assistant/hexinput.h"

#include "base/qtcompat.h"

namespace {
constexpr int ValueWidth = 4;
constexpr int Stride = ValueWidth + 1;

bool holdsSpace(QStringView value)
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
        const QStringView value = QStringView(text).mid(position, ValueWidth);
        const int separator = position + ValueWidth;
        if (holdsSpace(value) || (separator < text.size() && text.at(separator).isLetterOrNumber()))
            return std::nullopt;
        bool ok = false;
        const uint number = QtCompat::toUInt(value, &ok, 0);
        if (!ok)
            return std::nullopt;
        bytes.append(static_cast<char>(number & 0xFF));
    }
    return bytes;
}
