// The PID tab's port button and rescan, until the PID tab's own object takes them.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "serial/portboxes.h"
#include "serial/portcontroller.h"
#include "serial/portsettings.h"

#include <QSerialPort>

void MainWindow::on_buttonOpenportPID_clicked()
{
    if (ports->isOpen(PortController::Pid)) {
        ports->close(PortController::Pid, PortController::ByUser);
        return;
    }
    if (portBoxes->open(PortController::Pid, ui->comboPortPID->currentText(),
                        PortSettings::fromTexts(ui->comboBaudratePID->currentText(),
                                                ui->comboDatabitPID->currentText(),
                                                ui->comboCheckbitPID->currentText(),
                                                ui->comboStopbitPID->currentText())))
        connect(serial.port, &QSerialPort::readyRead, this, &MainWindow::on_readDataPID);
}

void MainWindow::on_buttonScanPID_clicked()
{
    portBoxes->refill(ui->comboPortPID);
}
