// What the port and the PID link report, shown in the widgets.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"
#include "serial/portcontroller.h"

#include <QStatusBar>

void MainWindow::showPortState(int tab, bool open)
{
    const QString buttonText = open ? tr("关闭串口") : tr("打开串口");
    if (tab == PortController::Assistant) {
        ui->buttonOpenport->setText(buttonText);
        ui->buttonScan->setEnabled(!open);
        ui->comboPort->setEnabled(!open);
        ui->comboBaudrate->setEnabled(!open);
        ui->comboDatabit->setEnabled(!open);
        ui->comboStopbit->setEnabled(!open);
        ui->comboCheckbit->setEnabled(!open);
        ui->buttonSelectfile->setEnabled(open);
        ui->buttonSendData->setEnabled(open);
        ui->checkAutoSend->setEnabled(open);
        return;
    }
    ui->buttonOpenportPID->setText(buttonText);
    // The PID scan button stays usable while open.
    ui->comboPortPID->setEnabled(!open);
    ui->comboBaudratePID->setEnabled(!open);
    ui->comboDatabitPID->setEnabled(!open);
    ui->comboStopbitPID->setEnabled(!open);
    ui->comboCheckbitPID->setEnabled(!open);
    ui->buttonStart->setEnabled(open);
}

void MainWindow::showRun(bool active)
{
    if (active)
        diagram->startRefresh(20);
    else
        diagram->stopRefresh();
    ui->buttonStart->setText(active ? tr("停止") : tr("开始"));
    // The protocol and the chart's data stay as they are while a run fills the chart.
    ui->buttonPause->setEnabled(active);
    ui->buttonExport->setEnabled(!active);
    ui->buttonInport->setEnabled(!active);
    ui->checkStringMode->setEnabled(!active);
}
