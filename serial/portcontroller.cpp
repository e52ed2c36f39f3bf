#include "serial/portcontroller.h"

#include "base/logging.h"
#include "serial/openfailure.h"
#include "serial/portname.h"
#include "serial/portsettings.h"

#include <QSerialPort>

PortController::PortController(QSerialPort *port, QObject *parent) : QObject(parent), serial(port)
{
}

bool PortController::applySettings(QSerialPort &port, const PortSettings &settings,
                                   QString *refusal)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    if (settings.parity == PortSettings::Parity::Odd)
        parity = QSerialPort::OddParity;
    else if (settings.parity == PortSettings::Parity::Even)
        parity = QSerialPort::EvenParity;
    QString why;
    if (!port.setBaudRate(settings.baudRate, QSerialPort::AllDirections))
        why = tr("驱动不支持波特率%1").arg(settings.baudRate);
    else if (!port.setDataBits(QSerialPort::DataBits(settings.dataBits)) ||
             !port.setParity(parity) ||
             !port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop
                                                      : QSerialPort::OneStop))
        why = tr("驱动不支持该数据格式");
    // Not all drivers know flow control; none is the default anyway.
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (refusal)
        *refusal = why;
    return why.isEmpty();
}

bool PortController::open(Tab tab, const QString &name, const PortSettings &settings,
                          QObject *receiver, const char *slot)
{
    // A typo in the editable baud box opens nothing.
    if (!settings.isValid()) {
        emit settingsRefused(tab, settings.problem);
        return false;
    }
    serial->setPortName(systemPortName(name));
    qCDebug(lcPorts) << serial->portName().toUtf8();
    if (!serial->open(QIODevice::ReadWrite)) {
        qCDebug(lcPorts) << "open failed:" << serial->errorString();
        emit openFailed(tab, openFailureReason(*serial));
        return false;
    }
    QString refusal;
    if (!applySettings(*serial, settings, &refusal)) {
        serial->close();
        emit settingsRefused(tab, refusal);
        return false;
    }
    if (receiver && slot)
        QObject::connect(serial, SIGNAL(readyRead()), receiver, slot);
    // Closing drops every connection of the port, so this is renewed on every open.
    connect(serial, &QSerialPort::errorOccurred, this, &PortController::portError,
            Qt::UniqueConnection);
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
    // Every byte the port holds, in a buffer of that size: readAll() starts with a larger one
    // and shrinks it, at every arrival.
    const QByteArray bytes = serial->read(serial->bytesAvailable());
    if (!bytes.isEmpty())
        emit received(bytes);
    return bytes;
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
