// PID tab: channel selection, parameter commands and the run toggle. The parameter fields'
// object checks, sends and reports; the slots only say which.
#include "app/mainwindow.h"
#include "pidlink/parameterpanel.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QStatusBar>

void MainWindow::selectChannel(int index, bool checked)
{
    if (checked) {
        channel = quint8(index);
        parameters->selectChannel(index);
    }
    statusBar()->showMessage(tr("选择%1通道").arg(index + 1), 0);
}

void MainWindow::on_radioCH1_clicked(bool checked)
{
    selectChannel(0, checked);
}

void MainWindow::on_radioCH2_clicked(bool checked)
{
    selectChannel(1, checked);
}

void MainWindow::on_radioCH3_clicked(bool checked)
{
    selectChannel(2, checked);
}

void MainWindow::on_radioCH4_clicked(bool checked)
{
    selectChannel(3, checked);
}

void MainWindow::on_buttonPRead_clicked()
{
    parameters->read(CmdP);
}

void MainWindow::on_buttonPWrite_clicked()
{
    parameters->write(CmdP);
}

void MainWindow::on_buttonIRead_clicked()
{
    parameters->read(CmdI);
}

void MainWindow::on_buttonIWrite_clicked()
{
    parameters->write(CmdI);
}

void MainWindow::on_buttonDRead_clicked()
{
    parameters->read(CmdD);
}

void MainWindow::on_buttonDWrite_clicked()
{
    parameters->write(CmdD);
}

void MainWindow::on_buttonTRead_clicked()
{
    parameters->read(CmdTarget);
}

void MainWindow::on_buttonTWrite_clicked()
{
    parameters->write(CmdTarget);
}

void MainWindow::on_buttonARead_clicked()
{
    parameters->read(CmdActual);
}

// The link decides with the board's start and stop commands and a close of the port who runs;
// the widgets follow its runChanged.
void MainWindow::on_buttonStart_clicked()
{
    link->setRunActive(!link->runActive());
}
