// PID tab: bytes from the board applied to the chart, the fields and the run.
#include "app/mainwindow.h"

void MainWindow::on_readDataPID() {}

void MainWindow::on_checkStringMode_clicked(bool) {}
