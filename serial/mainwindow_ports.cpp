// Port scan, open and close for both tabs, and the tab switch that releases the port.
#include "app/mainwindow.h"

void MainWindow::on_buttonOpenport_clicked()
{
}

void MainWindow::on_buttonScan_clicked()
{
}

void MainWindow::on_buttonOpenportPID_clicked()
{
}

void MainWindow::on_tabSwitch_currentChanged(int)
{
}

void MainWindow::on_buttonScanPID_clicked()
{
}

