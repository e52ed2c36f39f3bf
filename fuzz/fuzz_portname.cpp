// The port box's text to the name QSerialPort opens: the whole text where it names a device,
// else the text before the first space, with the Windows device prefix added past four
// characters. Byte 0 odd: the rest is UTF-16 (any code units); even: UTF-8. Bit 1 of byte 0:
// every text "names a device"; otherwise none does.
#include "fuzz/fuzzcheck.h"
#include "serial/portname.h"

#include <QString>

namespace {
const QString prefix = QStringLiteral("\\\\.\\");
}

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

    // The name is the whole text where it names a device, else the longest start of the
    // text without a space; the question is asked only of a text with a space.
    const bool exists = (data[0] & 2) != 0;
    bool asked = false;
    const auto deviceExists = [&asked, exists](const QString &) {
        asked = true;
        return exists;
    };
    const QString name = portNameFromEntry(text, deviceExists);
    int end = 0;
    while (end < text.size() && text.at(end) != QLatin1Char(' '))
        ++end;
    FUZZ_CHECK(asked == (end < text.size()));
    FUZZ_CHECK(name == (exists ? text : text.left(end)));
    FUZZ_CHECK(portNameFromEntry(name, deviceExists) == name);

    const QString prefixed = withDevicePrefix(name);
    if (name.size() <= 4 || name.startsWith(prefix))
        FUZZ_CHECK(prefixed == name);
    else
        FUZZ_CHECK(prefixed == prefix + name);
    FUZZ_CHECK(withDevicePrefix(prefixed) == prefixed);

    const QString system = systemPortName(name);
    FUZZ_CHECK(system == name || system == prefixed);
    return 0;
}
