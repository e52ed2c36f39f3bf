// What the port reports, shown in the serial assistant's widgets.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "serial/portcontroller.h"

void MainWindow::showPortState(int tab, bool open)
{
    // The PID tab shows its own (PidTab).
    if (tab != PortController::Assistant)
        return;
    ui->buttonOpenport->setText(open ? tr("关闭串口") : tr("打开串口"));
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
