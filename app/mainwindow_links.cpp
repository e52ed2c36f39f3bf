// What the port and the PID link report, shown in the widgets.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidframe.h"
#include "serial/portcontroller.h"

#include <QStatusBar>

namespace {
struct ParameterTexts
{
    int op;
    const char *received;
    const char *answered; // the board's read request answered
    const char *written;  // the program's write button
};

constexpr ParameterTexts parameterTexts[] = {
    {CmdP, "成功接收P", "成功发送P", "已发送P"},
    {CmdI, "成功接收I", "成功发送I", "已发送I"},
    {CmdD, "成功接收D", "成功发送D", "已发送D"},
    {CmdTarget, "成功接收目标值", "成功发送目标值", "已发送目标值"},
    {CmdActual, "成功接收实际值", "", ""},
};
constexpr ParameterTexts noTexts{0, "", "", ""};

// Unknown operations have no texts.
const ParameterTexts &textsOf(int op)
{
    for (const ParameterTexts &texts : parameterTexts) {
        if (texts.op == op)
            return texts;
    }
    return noTexts;
}
} // namespace

void MainWindow::showPortState(int tab, bool open)
{
    const QString buttonText = open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口");
    if (tab == PortController::Assistant) {
        ui->buttonOpenport->setText(buttonText);
        ui->buttonScan->setEnabled(!open);
        ui->comboPort->setEnabled(!open);
        ui->comboBaudrate->setEnabled(!open);
        ui->comboDatabit->setEnabled(!open);
        ui->comboStopbit->setEnabled(!open);
        ui->comboCheckbit->setEnabled(!open);
        ui->buttonSelectfile->setEnabled(open);
        ui->buttonSendData->setEnabled(open);
        ui->checkAutoSend->setEnabled(open);
        return;
    }
    ui->buttonOpenportPID->setText(buttonText);
    // The PID scan button stays usable while open.
    ui->comboPortPID->setEnabled(!open);
    ui->comboBaudratePID->setEnabled(!open);
    ui->comboDatabitPID->setEnabled(!open);
    ui->comboStopbitPID->setEnabled(!open);
    ui->comboCheckbitPID->setEnabled(!open);
    ui->buttonStart->setEnabled(open);
}

void MainWindow::showRun(bool active)
{
    if (active)
        diagram->startRefresh(20);
    else
        diagram->stopRefresh();
    ui->buttonStart->setText(active ? QStringLiteral("停止") : QStringLiteral("开始"));
    // The protocol and the chart's data stay as they are while a run fills the chart.
    ui->buttonPause->setEnabled(active);
    ui->buttonExport->setEnabled(!active);
    ui->buttonInport->setEnabled(!active);
    ui->checkStringMode->setEnabled(!active);
}

QLineEdit *MainWindow::parameterField(int op) const
{
    switch (op) {
    case CmdP:
        return ui->editP;
    case CmdI:
        return ui->editI;
    case CmdD:
        return ui->editD;
    case CmdTarget:
        return ui->editTarget;
    default:
        return ui->editActual;
    }
}

void MainWindow::showParameter(int op, float value)
{
    // A value for any channel lands in the one set of fields.
    parameterField(op)->setText(QString::number(double(value), 'g', 6));
    statusBar()->showMessage(tr(textsOf(op).received), 0);
}

void MainWindow::showReadAnswered(int op)
{
    statusBar()->showMessage(tr(textsOf(op).answered), 0);
}

void MainWindow::showParameterWritten(int op)
{
    statusBar()->showMessage(QString::fromUtf8(textsOf(op).written), 0);
}
