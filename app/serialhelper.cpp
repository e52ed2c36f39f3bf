#include "app/serialhelper.h"

#include "base/logging.h"

#include <QSerialPort>
#include <QSerialPortInfo>

QStringList SerialHelper::scanPorts()
{
    QStringList entries;
    QSerialPort probe;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        probe.setPort(info);
        entries.append(probe.portName() + QLatin1Char(' ') + info.description());
    }
    for (const QString &entry : qAsConst(entries))
        qCDebug(lcPorts) << entry;
    return entries;
}
