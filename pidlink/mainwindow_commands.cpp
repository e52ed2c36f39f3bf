// PID tab: channel selection, parameter commands and the run toggle.
#include "app/mainwindow.h"

void MainWindow::on_radioCH1_clicked(bool) {}

void MainWindow::on_radioCH2_clicked(bool) {}

void MainWindow::on_radioCH3_clicked(bool) {}

void MainWindow::on_radioCH4_clicked(bool) {}

void MainWindow::on_buttonPRead_clicked() {}

void MainWindow::on_buttonPWrite_clicked() {}

void MainWindow::on_buttonIRead_clicked() {}

void MainWindow::on_buttonIWrite_clicked() {}

void MainWindow::on_buttonDRead_clicked() {}

void MainWindow::on_buttonDWrite_clicked() {}

void MainWindow::on_buttonTRead_clicked() {}

void MainWindow::on_buttonTWrite_clicked() {}

void MainWindow::on_buttonARead_clicked() {}

void MainWindow::on_buttonStart_clicked() {}
