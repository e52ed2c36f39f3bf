// PID tab: the controls beside the chart.
#include "app/mainwindow.h"

void MainWindow::on_buttonClear_clicked() {}

void MainWindow::on_buttonPause_clicked() {}

void MainWindow::on_checkAuto_stateChanged(int) {}

void MainWindow::on_checkSwitch_stateChanged(int) {}

void MainWindow::on_checkCH1_clicked(bool) {}

void MainWindow::on_checkCH2_clicked(bool) {}

void MainWindow::on_checkCH3_clicked(bool) {}

void MainWindow::on_checkCH4_clicked(bool) {}

void MainWindow::on_vScrollBar_sliderMoved(int) {}

void MainWindow::on_hScrollBar_sliderMoved(int) {}
