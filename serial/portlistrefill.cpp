#include "serial/portlistrefill.h"

#include "serial/portname.h"

#include <QFileInfo>

namespace {
QString locationOf(const QString &text)
{
    return portLocation(portNameFromEntry(text.trimmed()));
}
} // namespace

PortListRefill PortListRefill::build(const QStringList &scanned, const QStringList &typed,
                                     const QString &selectedText,
                                     const std::function<bool(const QString &)> &exists)
{
    PortListRefill refill;
    refill.items = scanned;
    QStringList locations; // of refill.items, index for index
    for (const QString &entry : scanned)
        locations.append(locationOf(entry));

    const QString selected = locationOf(selectedText);
    int selectedIndex = -1;
    for (const QString &text : typed) {
        const QString device = text.trimmed();
        if (device.isEmpty())
            continue;
        const QString location = locationOf(device);
        int index = locations.indexOf(location);
        if (index < 0) {
            if (!exists(device))
                continue;
            refill.items.append(device);
            locations.append(location);
            index = refill.items.size() - 1;
        }
        if (location == selected)
            selectedIndex = index;
    }
    if (selectedIndex >= 0)
        refill.current = selectedIndex;
    else if (!refill.items.isEmpty())
        refill.current = 0;
    return refill;
}

bool PortListRefill::deviceExists(const QString &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name)
    return true;
#else
    return QFileInfo::exists(portLocation(name));
#endif
}
