#include "serial/portcontroller.h"

#include "app/logging.h"
#include "serial/portname.h"
#include "serial/portsettings.h"

#include <QSerialPort>

namespace {
void applySettings(QSerialPort &port, const PortSettings &settings)
{
    port.setBaudRate(settings.baudRate, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::DataBits(settings.dataBits));
    switch (settings.parity) {
    case PortSettings::Parity::Odd:
        port.setParity(QSerialPort::OddParity);
        break;
    case PortSettings::Parity::Even:
        port.setParity(QSerialPort::EvenParity);
        break;
    case PortSettings::Parity::None:
        port.setParity(QSerialPort::NoParity);
        break;
    }
    port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}
} // namespace

PortController::PortController(QSerialPort *port, QObject *parent) : QObject(parent), serial(port)
{
}

bool PortController::open(Tab tab, const QString &name, const PortSettings &settings,
                          QObject *receiver, const char *slot)
{
    serial->setPortName(systemPortName(name));
    qCDebug(lcPorts) << serial->portName().toUtf8();
    if (!serial->open(QIODevice::ReadWrite)) {
        emit openFailed(tab, serial->errorString());
        return false;
    }
    QObject::connect(serial, SIGNAL(readyRead()), receiver, slot);
    // Closing drops every connection of the port, so this is renewed on every open.
    connect(serial, &QSerialPort::errorOccurred, this, &PortController::portError,
            Qt::UniqueConnection);
    applySettings(*serial, settings);
    holder = tab;
    emit opened(tab);
    return true;
}

void PortController::close(Tab tab, CloseReason reason)
{
    if (holder != tab)
        return;
    QObject::disconnect(serial, nullptr, nullptr, nullptr);
    serial->close();
    holder = -1;
    emit closed(tab, reason);
}

QByteArray PortController::read()
{
    const QByteArray bytes = serial->readAll();
    if (!bytes.isEmpty())
        emit received(bytes);
    return bytes;
}

bool PortController::write(const QByteArray &bytes)
{
    return serial->isOpen() && serial->write(bytes) == bytes.size();
}

void PortController::portError(int error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!serial->isOpen() || failurePending)
        return;
    // A hung-up line keeps reporting read errors until the port is closed. Closing from inside
    // QSerialPort's own notification is not safe, so close on the next pass of the event loop.
    failurePending = true;
    QMetaObject::invokeMethod(
        this, [this] { closeFailedPort(); }, Qt::QueuedConnection);
}

void PortController::closeFailedPort()
{
    failurePending = false;
    if (holder < 0)
        return;
    qCDebug(lcPorts) << "port failed, closing" << serial->portName();
    close(Tab(holder), PortFailure);
}
