// The send box in hexadecimal mode against the rule written out by hand: values of up to four
// characters at positions 0, 5, 10, ..., each an unsigned number in base 0 (0x hexadecimal,
// leading 0 octal, else decimal), low eight bits sent. A value holding white space, or a letter
// or digit where the separator belongs, is refused: the fixed width would misread it.
// Byte 0 odd: the rest is UTF-16 (any code units, lone surrogates included); even: UTF-8.
#include "assistant/hexinput.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <optional>

namespace {

int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return 99;
}

std::optional<unsigned> referenceValue(const QString &text, int from, int count)
{
    int begin = from;
    int end = std::min(from + count, int(text.size()));
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && text.at(end - 1).isSpace())
        --end;
    if (begin < end && text.at(begin) == QLatin1Char('+'))
        ++begin;
    unsigned base = 10;
    if (end - begin >= 2 && text.at(begin) == QLatin1Char('0') &&
        (text.at(begin + 1) == QLatin1Char('x') || text.at(begin + 1) == QLatin1Char('X'))) {
        base = 16;
        begin += 2;
    } else if (begin < end && text.at(begin) == QLatin1Char('0')) {
        base = 8;
    }
    if (begin == end)
        return std::nullopt;
    unsigned value = 0;
    for (int i = begin; i < end; ++i) {
        const int digit = digitValue(text.at(i));
        if (digit >= int(base))
            return std::nullopt;
        value = value * base + unsigned(digit);
    }
    return value;
}

std::optional<QByteArray> reference(const QString &text)
{
    QByteArray bytes;
    for (int position = 0; position < text.size(); position += 5) {
        for (int i = position; i < std::min(position + 4, int(text.size())); ++i) {
            if (text.at(i).isSpace())
                return std::nullopt;
        }
        if (position + 4 < text.size() && text.at(position + 4).isLetterOrNumber())
            return std::nullopt;
        const std::optional<unsigned> value = referenceValue(text, position, 4);
        if (!value)
            return std::nullopt;
        bytes.append(char(*value & 0xFF));
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    QString text;
    if (data[0] & 1) {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text.append(QChar(ushort(data[i] | (data[i + 1] << 8))));
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));
    }

    const std::optional<QByteArray> got = parseHexInput(text);
    const std::optional<QByteArray> expected = reference(text);
    if (got.has_value() != expected.has_value() || (got && *got != *expected))
        std::fprintf(stderr, "input %s: parsed %s, rule gives %s\n",
                     text.toUtf8().toHex(' ').constData(),
                     got ? got->toHex(' ').constData() : "failure",
                     expected ? expected->toHex(' ').constData() : "failure");
    FUZZ_CHECK(got.has_value() == expected.has_value());
    if (got) {
        FUZZ_CHECK(*got == *expected);
        FUZZ_CHECK(got->size() == (text.size() + 4) / 5);
    }
    return 0;
}
