// PID tab: CSV export and import of the chart's samples.
#include "app/mainwindow.h"

void MainWindow::on_buttonExport_clicked()
{
}

void MainWindow::on_buttonInport_clicked()
{
}

