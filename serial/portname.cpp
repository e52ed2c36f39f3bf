#include "serial/portname.h"

namespace {
const QString devicePrefix = QStringLiteral("\\\\.\\");
}

QString portNameFromEntry(const QString &entryText)
{
    const int space = entryText.indexOf(QLatin1Char(' '));
    return space < 0 ? entryText : entryText.left(space);
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
    return withDevicePrefix(name);
#else
    const bool isPath = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./")) ||
                        name.startsWith(QLatin1String("../"));
    return isPath ? name : QStringLiteral("/dev/") + name;
#endif
}
