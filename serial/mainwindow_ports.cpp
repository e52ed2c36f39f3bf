// Port scan, open and close for both tabs, and the tab switch that releases the port.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "serial/portname.h"
#include "serial/portsettings.h"

#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

namespace {
QString openText()
{
    return QStringLiteral("打开串口");
}

QString closeText()
{
    return QStringLiteral("关闭串口");
}
} // namespace

void MainWindow::on_buttonOpenport_clicked()
{
    const QString name = portNameFromEntry(ui->comboPort->currentText());
    serial.port->setPortName(systemPortName(name));
    qCDebug(lcPorts) << systemPortName(name).toUtf8();

    if (portOpen) {
        closeAssistantPort();
        return;
    }
    const PortSettings settings =
        PortSettings::fromTexts(ui->comboBaudrate->currentText(), ui->comboDatabit->currentText(),
                                ui->comboCheckbit->currentText(), ui->comboStopbit->currentText());
    if (!openPort(name, SLOT(on_readData()), settings))
        return;
    ui->buttonOpenport->setText(closeText());
    setAssistantPortWidgets(true);
    portOpen = true;
    // A character left incomplete by the previous session would never be completed.
    receiveFormatter.reset();
}

void MainWindow::on_buttonScan_clicked()
{
    refillPortBox(ui->comboPort);
}

void MainWindow::on_buttonOpenportPID_clicked()
{
    const QString name = portNameFromEntry(ui->comboPortPID->currentText());
    serial.port->setPortName(systemPortName(name));

    if (portOpenPID) {
        closePidPort();
        return;
    }
    const PortSettings settings = PortSettings::fromTexts(
        ui->comboBaudratePID->currentText(), ui->comboDatabitPID->currentText(),
        ui->comboCheckbitPID->currentText(), ui->comboStopbitPID->currentText());
    if (!openPort(name, SLOT(on_readDataPID()), settings))
        return;
    ui->buttonOpenportPID->setText(closeText());
    setPidPortWidgets(true);
    portOpenPID = true;
    setLinkHealthVisible(true);
}

bool MainWindow::openPort(const QString &name, const char *receiveSlot,
                          const PortSettings &settings)
{
    if (!serial.port->open(QIODevice::ReadWrite)) {
        statusBar()->showMessage(QStringLiteral("打开失败！"), 0);
        return false;
    }
    QObject::connect(serial.port, SIGNAL(readyRead()), this, receiveSlot);
    watchPortFailure();
    statusBar()->showMessage(name + QStringLiteral("打开成功！"), 0);
    settings.applyTo(*serial.port);
    return true;
}

void MainWindow::refillPortBox(QComboBox *box)
{
    box->clear();
    const QStringList entries = serial.scanPorts();
    for (const QString &entry : entries)
        box->addItem(entry);
}

void MainWindow::on_tabSwitch_currentChanged(int)
{
    qCDebug(lcPorts) << QStringLiteral("切换并关闭已经打开的串口");
    if (ui->buttonOpenport->text() == closeText())
        on_buttonOpenport_clicked();
    if (ui->buttonOpenportPID->text() == closeText())
        on_buttonOpenportPID_clicked();
}

void MainWindow::on_buttonScanPID_clicked()
{
    refillPortBox(ui->comboPortPID);
}

void MainWindow::closeAssistantPort()
{
    QObject::disconnect(serial.port, nullptr, nullptr, nullptr);
    serial.port->close();
    ui->buttonOpenport->setText(openText());
    setAssistantPortWidgets(false);
    portOpen = false;
    if (autoSendTimer) {
        ui->checkAutoSend->setChecked(false);
        QObject::disconnect(autoSendTimer, nullptr, nullptr, nullptr);
        ui->textTime->setEnabled(true);
        delete autoSendTimer;
        autoSendTimer = nullptr;
    }
}

void MainWindow::closePidPort()
{
    QObject::disconnect(serial.port, nullptr, nullptr, nullptr);
    serial.port->close();
    ui->buttonOpenportPID->setText(openText());
    setPidPortWidgets(false);
    portOpenPID = false;
    setLinkHealthVisible(false);
    // The stop command written by the run toggle finds the port closed and is dropped.
    if (ui->buttonStart->text() == QStringLiteral("停止"))
        on_buttonStart_clicked();
}

void MainWindow::setAssistantPortWidgets(bool open)
{
    ui->buttonScan->setEnabled(!open);
    ui->comboPort->setEnabled(!open);
    ui->comboBaudrate->setEnabled(!open);
    ui->comboDatabit->setEnabled(!open);
    ui->comboStopbit->setEnabled(!open);
    ui->comboCheckbit->setEnabled(!open);
    ui->buttonSelectfile->setEnabled(open);
    ui->buttonSendData->setEnabled(open);
    ui->checkAutoSend->setEnabled(open);
}

void MainWindow::setPidPortWidgets(bool open)
{
    // The PID scan button stays usable while open.
    ui->comboPortPID->setEnabled(!open);
    ui->comboBaudratePID->setEnabled(!open);
    ui->comboDatabitPID->setEnabled(!open);
    ui->comboStopbitPID->setEnabled(!open);
    ui->comboCheckbitPID->setEnabled(!open);
    ui->buttonStart->setEnabled(open);
}

void MainWindow::watchPortFailure()
{
    // Closing drops every connection of the port, so this is renewed on every open.
    connect(serial.port, &QSerialPort::errorOccurred, this, &MainWindow::portErrorOccurred,
            Qt::UniqueConnection);
}

void MainWindow::portErrorOccurred(int error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!serial.port->isOpen() || portFailurePending)
        return;
    // A hung-up line keeps reporting read errors until the port is closed. Closing from inside
    // QSerialPort's own notification is not safe, so close on the next pass of the event loop.
    portFailurePending = true;
    QMetaObject::invokeMethod(
        this, [this] { closeFailedPort(); }, Qt::QueuedConnection);
}

void MainWindow::closeFailedPort()
{
    portFailurePending = false;
    if (portOpen) {
        closeAssistantPort();
    } else if (portOpenPID) {
        closePidPort();
        // The half frame or half line of a vanished line would be glued to the first bytes
        // of the next one and read as a sample that never existed.
        frameReceiver.discardPending();
        lineSplitter.discardPending();
    } else {
        return;
    }
    qCDebug(lcPorts) << "port failed, closed" << serial.port->portName();
    statusBar()->showMessage(QStringLiteral("串口已断开"), 0);
}
