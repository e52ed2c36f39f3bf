#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What a rescan puts into a port box: the entries found, in scan order, then the devices the
// user typed or gave with --port that are still there, so a rescan never silently moves the
// box from a typed device to another port.
struct PortListRefill
{
    QStringList items;
    int current = -1; // the item to select; -1 for an empty box

    // scanned: entries "<name> <description>". typed: the devices the user typed or gave with
    // --port, in the order given. selectedText: the box's text before the rescan; a typed device
    // keeps the selection while it exists, anything else gives way to the first item, as a
    // rescan always did. A typed device that the scan lists is shown once, as its entry.
    static PortListRefill build(const QStringList &scanned, const QStringList &typed,
                                const QString &selectedText,
                                const std::function<bool(const QString &)> &exists);

    // The window's `exists`: whether the device's file is there (always true on Windows, where
    // a COM name is no file).
    static bool deviceExists(const QString &name);
};
