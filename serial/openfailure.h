#pragma once

#include <QSerialPort>
#include <QString>

// Why a port did not open, in words the user can act on; the window shows it after "打开失败！".
// No permission (naming the group that grants it and how to join it), busy (another program
// holds the port), not found, or else the driver's own text.
//
// Qt reports a missing permission, a port locked by another program's lock file and a tty held
// exclusively (EBUSY) all as PermissionError. Whether this process may read and write the
// device tells them apart.
QString openFailureReason(const QString &portName, QSerialPort::SerialPortError error,
                          const QString &errorString);

// The same for a port whose open() just failed.
QString openFailureReason(const QSerialPort &port);
