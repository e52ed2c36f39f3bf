// PID tab: channel selection, parameter commands and the run toggle.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QStatusBar>

namespace {
QString notSentMessage()
{
    return QStringLiteral("串口未打开，发送失败");
}
} // namespace

void MainWindow::requestParameter(quint8 op)
{
    if (!link->requestParameter(op, channel))
        statusBar()->showMessage(notSentMessage(), 0);
}

// The field's number; text that is not one sends 0. The link reports what it wrote.
void MainWindow::writeParameter(quint8 op, const QLineEdit *field)
{
    if (!link->writeParameter(op, channel, field->text().toFloat()))
        statusBar()->showMessage(notSentMessage(), 0);
}

void MainWindow::selectChannel(int index, bool checked)
{
    if (checked)
        channel = quint8(index);
    statusBar()->showMessage(QStringLiteral("选择%1通道").arg(index + 1), 0);
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
    requestParameter(CmdP);
}

void MainWindow::on_buttonPWrite_clicked()
{
    writeParameter(CmdP, ui->editP);
}

void MainWindow::on_buttonIRead_clicked()
{
    requestParameter(CmdI);
}

void MainWindow::on_buttonIWrite_clicked()
{
    writeParameter(CmdI, ui->editI);
}

void MainWindow::on_buttonDRead_clicked()
{
    requestParameter(CmdD);
}

void MainWindow::on_buttonDWrite_clicked()
{
    writeParameter(CmdD, ui->editD);
}

void MainWindow::on_buttonTRead_clicked()
{
    requestParameter(CmdTarget);
}

void MainWindow::on_buttonTWrite_clicked()
{
    writeParameter(CmdTarget, ui->editTarget);
}

void MainWindow::on_buttonARead_clicked()
{
    requestParameter(CmdActual);
}

// The link decides with the board's start and stop commands and a close of the port who runs;
// the widgets follow its runChanged.
void MainWindow::on_buttonStart_clicked()
{
    link->setRunActive(!link->runActive());
}
