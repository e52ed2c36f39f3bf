#include "serial/openfailure.h"

#include "serial/portname.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <unistd.h>
#endif

namespace {
#ifndef Q_OS_WIN
// The group that may use the device: its own group when that group has read and write access
// (dialout on Debian and Ubuntu, uucp on Arch), else dialout.
QString deviceGroup(const QString &location)
{
    const QFileInfo info(location);
    const QString group = info.group();
    const bool groupMayUse = info.permission(QFileDevice::ReadGroup | QFileDevice::WriteGroup);
    if (groupMayUse && info.groupId() != 0 && !group.isEmpty())
        return group;
    return QStringLiteral("dialout");
}
#endif

QString notFound(const QString &location)
{
    return QCoreApplication::translate("OpenFailure", "找不到设备 %1").arg(location);
}

QString busy()
{
    return QCoreApplication::translate("OpenFailure", "串口被其他程序占用");
}
} // namespace

QString openFailureReason(const QString &portName, QSerialPort::SerialPortError error,
                          const QString &errorString)
{
    if (portName.trimmed().isEmpty())
        return QCoreApplication::translate("OpenFailure", "未选择串口");
#ifdef Q_OS_WIN
    // Windows opens a COM port for one program at a time and refuses the next with "access
    // denied".
    if (error == QSerialPort::DeviceNotFoundError)
        return notFound(portName);
    if (error == QSerialPort::PermissionError)
        return busy();
#else
    const QString location = portLocation(portName);
    if (error == QSerialPort::DeviceNotFoundError)
        return notFound(location);
    if (error == QSerialPort::PermissionError) {
        const QByteArray path = location.toLocal8Bit();
        if (::access(path.constData(), R_OK | W_OK) != 0) {
            if (errno == ENOENT)
                return notFound(location);
            const QString group = deviceGroup(location);
            return QCoreApplication::translate("OpenFailure",
                                               "没有权限：用 sudo usermod -aG %1 $USER 把用户加入 "
                                               "%1 组，然后重新登录")
                .arg(group);
        }
        // Allowed to use it, yet refused: another program's lock file or exclusive hold. Only
        // a lock file that cannot be created at all says something else.
        if (!errorString.contains(QLatin1String("creating lock file")))
            return busy();
    }
#endif
    return errorString.isEmpty() ? QCoreApplication::translate("OpenFailure", "未知错误")
                                 : errorString;
}

QString openFailureReason(const QSerialPort &port)
{
    return openFailureReason(port.portName(), port.error(), port.errorString());
}
