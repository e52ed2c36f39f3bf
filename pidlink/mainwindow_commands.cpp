// PID tab: channel selection, parameter commands and the run toggle.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidframe.h"

#include <QSerialPort>
#include <QStatusBar>

namespace {
QString notSentMessage()
{
    return QStringLiteral("串口未打开，发送失败");
}
} // namespace

void MainWindow::sendCommand(unsigned char op, unsigned char dir, float value)
{
    // Start and stop frames, and replies, always carry channel 0.
    char frame[FrameSize];
    buildCommandFrame(frame, op, dir, 0, 0, value);
    if (serial.port->isOpen())
        serial.port->write(frame, FrameSize);
}

void MainWindow::requestParameter(unsigned char op)
{
    if (!serial.port->isOpen()) {
        statusBar()->showMessage(notSentMessage(), 0);
        return;
    }
    char frame[FrameSize];
    buildCommandFrame(frame, op, DirRead, channel, 0, 0.0f);
    serial.port->write(frame, FrameSize);
}

void MainWindow::sendParameter(unsigned char op, const QString &text, const QString &sentMessage)
{
    if (!serial.port->isOpen()) {
        statusBar()->showMessage(notSentMessage(), 0);
        return;
    }
    char frame[FrameSize];
    buildCommandFrame(frame, op, DirWrite, channel, 0, text.toFloat());
    serial.port->write(frame, FrameSize);
    statusBar()->showMessage(sentMessage, 0);
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
    sendParameter(CmdP, ui->editP->text(), QStringLiteral("已发送P"));
}

void MainWindow::on_buttonIRead_clicked()
{
    requestParameter(CmdI);
}

void MainWindow::on_buttonIWrite_clicked()
{
    sendParameter(CmdI, ui->editI->text(), QStringLiteral("已发送I"));
}

void MainWindow::on_buttonDRead_clicked()
{
    requestParameter(CmdD);
}

void MainWindow::on_buttonDWrite_clicked()
{
    sendParameter(CmdD, ui->editD->text(), QStringLiteral("已发送D"));
}

void MainWindow::on_buttonTRead_clicked()
{
    requestParameter(CmdTarget);
}

void MainWindow::on_buttonTWrite_clicked()
{
    sendParameter(CmdTarget, ui->editTarget->text(), QStringLiteral("已发送目标值"));
}

void MainWindow::on_buttonARead_clicked()
{
    requestParameter(CmdActual);
}

void MainWindow::on_buttonStart_clicked()
{
    // Also reached from the board's start/stop commands and from closing the port mid-run;
    // with the port closed the frame is simply not sent.
    if (runStopped) {
        statusBar()->showMessage(QStringLiteral("开始PID调试"), 0);
        qCDebug(lcPidLink) << "Start";
        runStopped = false;
        diagram->startRefresh(20);
        sendCommand(CmdStart, DirRead, 0.0f);
        ui->buttonStart->setText(QStringLiteral("停止"));
        ui->buttonPause->setEnabled(true);
        ui->buttonExport->setDisabled(true);
        ui->buttonInport->setDisabled(true);
        ui->checkStringMode->setDisabled(true);
    } else {
        statusBar()->showMessage(QStringLiteral("停止PID调试"), 0);
        qCDebug(lcPidLink) << "Stop";
        runStopped = true;
        diagram->stopRefresh();
        sendCommand(CmdStop, DirRead, 0.0f);
        ui->buttonStart->setText(QStringLiteral("开始"));
        ui->buttonPause->setDisabled(true);
        ui->buttonExport->setEnabled(true);
        ui->buttonInport->setEnabled(true);
        ui->checkStringMode->setEnabled(true);
    }
}
