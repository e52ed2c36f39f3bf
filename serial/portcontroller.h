#pragma once

#include <QObject>
#include <QString>

class PortSettings;
class QSerialPort;

// Opens and closes the program's one serial port for either tab and notices when the line
// goes away. It says what happened with signals; what a close means for the tabs' features
// is wired by the window. The terminal tab reads through read(), so its chunks pass
// received() on the way; the PID tab's link reads the port itself.
class PortController : public QObject
{
    Q_OBJECT

public:
    enum Tab { Assistant, Pid };
    enum CloseReason { ByUser, TabSwitch, PortFailure };

    // The port is not owned and outlives this object.
    explicit PortController(QSerialPort *port, QObject *parent = nullptr);

    QSerialPort *port() const { return serial; }

    // Hands `settings` to an open `port`. False when the driver refused one (a rate it cannot
    // make), with the reason in `refusal`; the caller closes the port then.
    static bool applySettings(QSerialPort &port, const PortSettings &settings,
                              QString *refusal = nullptr);

    // Opens `name` for `tab` with `settings` and connects readyRead() to `receiver`'s `slot`
    // (SLOT(...) form; none when null: the tab connects on opened()). False, with openFailed, when
    // the port does not open; false, with settingsRefused and the port left closed, when the
    // settings are no valid settings or the driver refuses them.
    bool open(Tab tab, const QString &name, const PortSettings &settings, QObject *receiver,
              const char *slot);
    // Closes the port if `tab` holds it, dropping every connection of the port.
    void close(Tab tab, CloseReason reason);
    bool isOpen(Tab tab) const { return holder == tab; }

    // Everything the port holds now.
    QByteArray read();

Q_SIGNALS:
    void opened(int tab);
    void closed(int tab, int reason);
    // `reason` says why in words the user can act on; the window shows it after "打开失败！".
    void openFailed(int tab, const QString &reason);
    // "波特率必须是正整数" and the like, or the driver's refusal ("驱动不支持波特率N").
    void settingsRefused(int tab, const QString &reason);
    void received(const QByteArray &bytes);

private:
    void portError(int error);
    void closeFailedPort();

    QSerialPort *serial;
    int holder = -1;             // the tab that holds the port open, -1 for none
    bool failurePending = false; // a close after a port failure is queued
};
