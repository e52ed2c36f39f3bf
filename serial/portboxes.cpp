#include "serial/portboxes.h"

#include "base/logging.h"
#include "serial/portcontroller.h"
#include "serial/portlistrefill.h"
#include "serial/portname.h"

#include <QComboBox>
#include <QSerialPort>
#include <QSerialPortInfo>

PortBoxes::PortBoxes(PortController *portController, QComboBox *assistantBox, QComboBox *pidBox,
                     QObject *parent)
    : QObject(parent), ports(portController), boxes{assistantBox, pidBox}
{
    const QStringList entries = scanPorts();
    for (const QString &entry : entries) {
        assistantBox->addItem(entry);
        pidBox->addItem(entry);
    }
}

QStringList PortBoxes::scanPorts()
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

void PortBoxes::refill(QComboBox *box)
{
    const PortListRefill refill = PortListRefill::build(scanPorts(), typed, box->currentText(),
                                                        &PortListRefill::deviceExists);
    box->clear();
    box->addItems(refill.items);
    box->setCurrentIndex(refill.current);
}

bool PortBoxes::open(int tab, const QString &entry, const PortSettings &settings)
{
    const QString name = portNameFromEntry(entry);
    // A device typed into the box, not picked from the scan: a rescan keeps it.
    QComboBox *box = boxes[tab == PortController::Assistant ? 0 : 1];
    if (box->findText(entry, Qt::MatchExactly) < 0 && !typed.contains(name))
        typed.append(name);
    if (!ports->open(PortController::Tab(tab), name, settings, nullptr, nullptr))
        return false;
    emit message(tr("%1打开成功！").arg(name));
    return true;
}

void PortBoxes::usePort(const QString &device)
{
    const QString name = device.trimmed();
    if (name.isEmpty())
        return;
    qCDebug(lcPorts) << "port from the command line" << name;
    if (!typed.contains(name))
        typed.append(name);
    for (QComboBox *box : boxes) {
        // The scan may already have listed it; do not show it twice.
        int index = box->findText(name, Qt::MatchExactly);
        if (index < 0) {
            box->addItem(name);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    }
}

void PortBoxes::on_tabSwitch_currentChanged(int)
{
    qCDebug(lcPorts) << QStringLiteral("切换并关闭已经打开的串口");
    ports->close(PortController::Assistant, PortController::TabSwitch);
    ports->close(PortController::Pid, PortController::TabSwitch);
}
