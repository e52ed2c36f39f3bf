#pragma once

#include <QObject>
#include <QStringList>

class PortController;
class PortSettings;
class QComboBox;

// The two tabs' port boxes and the opening of the port they name. A device the user typed
// (or gave with --port) stays in both boxes across rescans while it exists; switching tabs
// closes whatever either tab holds open.
class PortBoxes : public QObject
{
    Q_OBJECT

public:
    // The boxes are not owned. Both are filled with what a scan finds now.
    PortBoxes(PortController *ports, QComboBox *assistantBox, QComboBox *pidBox,
              QObject *parent = nullptr);

    // Entries "<port name> <description>", in the order the system reports them.
    static QStringList scanPorts();

    // The ports found, then the typed devices that still exist; a typed device that was
    // selected stays selected.
    void refill(QComboBox *box);
    // Opens the device of `entry` (as the tab's box shows it) for `tab` (a PortController::Tab);
    // the tab connects readyRead() on opened(). "<name>打开成功！" on success; a failure is
    // told by the PortController's signals.
    bool open(int tab, const QString &entry, const PortSettings &settings);
    // A device given on the command line: put into both boxes, once, and selected there.
    void usePort(const QString &device);
    const QStringList &typedPorts() const { return typed; }

    void on_tabSwitch_currentChanged(int index);

Q_SIGNALS:
    void message(const QString &text);

private:
    PortController *ports;
    QComboBox *boxes[2];
    QStringList typed; // typed into a port box and opened, or given with --port
};
