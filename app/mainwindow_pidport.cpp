// The PID tab's port button, until the PID tab's own object takes it.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "serial/portboxes.h"
#include "serial/portcontroller.h"
#include "serial/portsettings.h"

void MainWindow::on_buttonOpenportPID_clicked()
{
    if (ports->isOpen(PortController::Pid)) {
        ports->close(PortController::Pid, PortController::ByUser);
        return;
    }
    portBoxes->open(PortController::Pid, ui->comboPortPID->currentText(),
                    PortSettings::fromTexts(
                        ui->comboBaudratePID->currentText(), ui->comboDatabitPID->currentText(),
                        ui->comboCheckbitPID->currentText(), ui->comboStopbitPID->currentText()),
                    this, SLOT(on_readDataPID()));
}
