// Serial assistant: the receive display and the receive/send option switches.
#include "app/mainwindow.h"

void MainWindow::on_readData()
{
}

void MainWindow::on_pushRecvclear_clicked()
{
}

void MainWindow::on_pushSaveAs_clicked()
{
}

void MainWindow::on_radioRecvOptASCII_clicked(bool)
{
}

void MainWindow::on_radioRecvOptHEX_clicked(bool)
{
}

void MainWindow::on_checkLogmode_clicked(bool)
{
}

void MainWindow::on_checkNewline_clicked(bool)
{
}

void MainWindow::on_radioSendOptASCII_clicked(bool)
{
}

void MainWindow::on_radioSendOptHEX_clicked(bool)
{
}

