#include "serial/portname.h"

#include <QFileInfo>

namespace {
const QString devicePrefix = QStringLiteral("\\\\.\\");
}

QString portNameFromEntry(const QString &entryText)
{
    return portNameFromEntry(entryText, [](const QString &text) {
#ifdef Q_OS_UNIX
        return QFileInfo::exists(deviceLocation(text));
#else
        Q_UNUSED(text)
        return false;
#endif
    });
}

QString portNameFromEntry(const QString &entryText,
                          const std::function<bool(const QString &)> &deviceExists)
{
    const int space = entryText.indexOf(QLatin1Char(' '));
    if (space < 0 || deviceExists(entryText))
        return entryText;
    return entryText.left(space);
}

QString deviceLocation(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./")) ||
        name.startsWith(QLatin1String("../")))
        return name;
    return QStringLiteral("/dev/") + name;
}

QString withDevicePrefix(const QString &name)
{
    if (name.size() <= 4 || name.startsWith(devicePrefix))
        return name;
    return devicePrefix + name;
}

QString systemPortName(const QString &name)
{
#ifdef Q_OS_WIN
    return withDevicePrefix(name);
#else
    return name;
#endif
}

QString portLocation(const QString &name)
{
#ifdef Q_OS_WIN
    return systemPortName(name);
#else
    return deviceLocation(name);
#endif
}
