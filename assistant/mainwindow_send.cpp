// Serial assistant: sending typed text, hexadecimal bytes and files, once or periodically.
#include "app/mainwindow.h"

void MainWindow::on_timer_timeout1()
{
}

void MainWindow::on_buttonSelectfile_clicked()
{
}

void MainWindow::on_buttonSendData_clicked()
{
}

void MainWindow::on_checkAutoSend_clicked(bool)
{
}

