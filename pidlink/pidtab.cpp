#include "pidlink/pidtab.h"

#include "pidlink/linkhealthlabel.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"
#include "serial/portsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>

PidTab::PidTab(const Widgets &widgets, PidLink *pidLink, PortController *portController,
               QObject *parent)
    : QObject(parent), ui(widgets), link(pidLink), ports(portController)
{
    connect(link, &PidLink::runChanged, this, &PidTab::showRun);
    connect(link, &PidLink::runStatus, this, &PidTab::message);
    connect(link, &PidLink::linkError, this, &PidTab::message);

    // What opening and closing the port means for this tab; the window says why it closed.
    connect(ports, &PortController::opened, this, [this](int tab) {
        if (tab != PortController::Pid)
            return;
        showPortState(true);
        // Each opening of the port starts its own count.
        link->resetHealth();
        ui.health->setWatching(true);
        // Closing drops every connection of the port, so this is made on every open.
        connect(ports->port(), &QSerialPort::readyRead, link, &PidLink::readAvailable);
    });
    // The label hidden and the run ended (no frame: the port is closed); after a failure the
    // half frame or line of the lost line dropped.
    connect(ports, &PortController::closed, this, [this](int tab, int reason) {
        if (tab != PortController::Pid)
            return;
        showPortState(false);
        ui.health->setWatching(false);
        link->portClosed();
        if (reason == PortController::PortFailure)
            link->forgetLine();
    });

    parameters = new ParameterPanel(link, ui.fields, ui.verifyWrite, this);
    connect(parameters, &ParameterPanel::message, this, &PidTab::message);
    connect(ports, &PortController::closed, parameters, [this](int tab) {
        if (tab == PortController::Pid)
            parameters->lineClosed();
    });

    connect(ui.openPort, &QPushButton::clicked, this, &PidTab::on_buttonOpenportPID_clicked);
    connect(ui.scan, &QPushButton::clicked, this, &PidTab::on_buttonScanPID_clicked);
    connect(ui.start, &QPushButton::clicked, this, &PidTab::on_buttonStart_clicked);
    connect(ui.stringMode, &QCheckBox::clicked, this, &PidTab::on_checkStringMode_clicked);
    const struct
    {
        QPushButton *button;
        void (PidTab::*slot)();
    } commands[] = {
        {ui.pRead, &PidTab::on_buttonPRead_clicked}, {ui.pWrite, &PidTab::on_buttonPWrite_clicked},
        {ui.iRead, &PidTab::on_buttonIRead_clicked}, {ui.iWrite, &PidTab::on_buttonIWrite_clicked},
        {ui.dRead, &PidTab::on_buttonDRead_clicked}, {ui.dWrite, &PidTab::on_buttonDWrite_clicked},
        {ui.tRead, &PidTab::on_buttonTRead_clicked}, {ui.tWrite, &PidTab::on_buttonTWrite_clicked},
        {ui.aRead, &PidTab::on_buttonARead_clicked},
    };
    for (const auto &c : commands)
        connect(c.button, &QPushButton::clicked, this, c.slot);
    connect(ui.channels[0], &QRadioButton::clicked, this, &PidTab::on_radioCH1_clicked);
    connect(ui.channels[1], &QRadioButton::clicked, this, &PidTab::on_radioCH2_clicked);
    connect(ui.channels[2], &QRadioButton::clicked, this, &PidTab::on_radioCH3_clicked);
    connect(ui.channels[3], &QRadioButton::clicked, this, &PidTab::on_radioCH4_clicked);
}

void PidTab::on_buttonOpenportPID_clicked()
{
    if (ports->isOpen(PortController::Pid)) {
        ports->close(PortController::Pid, PortController::ByUser);
        return;
    }
    if (portBoxes.open)
        portBoxes.open(ui.port->currentText(),
                       PortSettings::fromTexts(ui.baudRate->currentText(),
                                               ui.dataBits->currentText(), ui.parity->currentText(),
                                               ui.stopBits->currentText()));
}

bool PidTab::openAndStart(QString *reason)
{
    if (!ports->isOpen(PortController::Pid)) {
        // The controller says why only in its signals.
        QString why;
        const auto keep = [&why](int tab, const QString &text) {
            if (tab == PortController::Pid)
                why = text;
        };
        const QMetaObject::Connection failed =
            connect(ports, &PortController::openFailed, this, keep);
        const QMetaObject::Connection refused =
            connect(ports, &PortController::settingsRefused, this, keep);
        on_buttonOpenportPID_clicked();
        disconnect(failed);
        disconnect(refused);
        if (!ports->isOpen(PortController::Pid)) {
            if (reason)
                *reason = why;
            return false;
        }
    }
    link->setRunActive(true);
    return true;
}

void PidTab::on_buttonScanPID_clicked()
{
    if (portBoxes.refill)
        portBoxes.refill(ui.port);
}

// The link decides with the board's start and stop commands and a close of the port who runs;
// the widgets follow its runChanged.
void PidTab::on_buttonStart_clicked()
{
    link->setRunActive(!link->runActive());
}

void PidTab::on_checkStringMode_clicked(bool checked)
{
    link->setStringMode(checked);
    QPushButton *const buttons[] = {ui.pRead,  ui.iRead,  ui.dRead,  ui.aRead, ui.tRead,
                                    ui.pWrite, ui.iWrite, ui.dWrite, ui.tWrite};
    for (QPushButton *button : buttons)
        button->setDisabled(checked);
    emit message(tr("更改接收协议"));
    ui.health->refresh();
}

// The parameter fields' object checks, sends and reports; the slots only say which.
void PidTab::on_buttonPRead_clicked()
{
    parameters->read(CmdP);
}

void PidTab::on_buttonPWrite_clicked()
{
    parameters->write(CmdP);
}

void PidTab::on_buttonIRead_clicked()
{
    parameters->read(CmdI);
}

void PidTab::on_buttonIWrite_clicked()
{
    parameters->write(CmdI);
}

void PidTab::on_buttonDRead_clicked()
{
    parameters->read(CmdD);
}

void PidTab::on_buttonDWrite_clicked()
{
    parameters->write(CmdD);
}

void PidTab::on_buttonTRead_clicked()
{
    parameters->read(CmdTarget);
}

void PidTab::on_buttonTWrite_clicked()
{
    parameters->write(CmdTarget);
}

void PidTab::on_buttonARead_clicked()
{
    parameters->read(CmdActual);
}

void PidTab::selectChannel(int index, bool checked)
{
    if (checked)
        parameters->selectChannel(index);
    emit message(tr("选择%1通道").arg(index + 1));
}

void PidTab::on_radioCH1_clicked(bool checked)
{
    selectChannel(0, checked);
}

void PidTab::on_radioCH2_clicked(bool checked)
{
    selectChannel(1, checked);
}

void PidTab::on_radioCH3_clicked(bool checked)
{
    selectChannel(2, checked);
}

void PidTab::on_radioCH4_clicked(bool checked)
{
    selectChannel(3, checked);
}

void PidTab::showPortState(bool open)
{
    ui.openPort->setText(open ? tr("关闭串口") : tr("打开串口"));
    // The scan button stays usable while open.
    for (QComboBox *box : {ui.port, ui.baudRate, ui.dataBits, ui.parity, ui.stopBits})
        box->setEnabled(!open);
    ui.start->setEnabled(open);
}

void PidTab::showRun(bool active)
{
    ui.start->setText(active ? tr("停止") : tr("开始"));
    // The protocol and the chart's data stay as they are while a run fills the chart.
    ui.pause->setEnabled(active);
    ui.exportButton->setEnabled(!active);
    ui.importButton->setEnabled(!active);
    ui.stringMode->setEnabled(!active);
}
