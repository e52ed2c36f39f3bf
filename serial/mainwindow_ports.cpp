// Port scan, open and close for both tabs, and the tab switch that releases the port.
#include "app/mainwindow.h"
#include "base/logging.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"
#include "serial/portlistrefill.h"
#include "serial/portname.h"
#include "serial/portsettings.h"

#include <QStatusBar>

void MainWindow::on_buttonOpenport_clicked()
{
    if (ports->isOpen(PortController::Assistant)) {
        ports->close(PortController::Assistant, PortController::ByUser);
        return;
    }
    openPort(
        PortController::Assistant, ui->comboPort->currentText(),
        PortSettings::fromTexts(ui->comboBaudrate->currentText(), ui->comboDatabit->currentText(),
                                ui->comboCheckbit->currentText(), ui->comboStopbit->currentText()),
        this, SLOT(on_readData()));
}

void MainWindow::on_buttonOpenportPID_clicked()
{
    if (ports->isOpen(PortController::Pid)) {
        ports->close(PortController::Pid, PortController::ByUser);
        return;
    }
    openPort(PortController::Pid, ui->comboPortPID->currentText(),
             PortSettings::fromTexts(
                 ui->comboBaudratePID->currentText(), ui->comboDatabitPID->currentText(),
                 ui->comboCheckbitPID->currentText(), ui->comboStopbitPID->currentText()),
             link, SLOT(readAvailable()));
}

void MainWindow::openPort(int tab, const QString &entry, const PortSettings &settings,
                          QObject *receiver, const char *slot)
{
    const QString name = portNameFromEntry(entry);
    // A device typed into the box, not picked from the scan: a rescan keeps it.
    QComboBox *box = tab == PortController::Assistant ? ui->comboPort : ui->comboPortPID;
    if (box->findText(entry, Qt::MatchExactly) < 0 && !typedPorts.contains(name))
        typedPorts.append(name);
    if (ports->open(PortController::Tab(tab), name, settings, receiver, slot))
        statusBar()->showMessage(tr("%1打开成功！").arg(name), 0);
}

void MainWindow::on_tabSwitch_currentChanged(int)
{
    qCDebug(lcPorts) << QStringLiteral("切换并关闭已经打开的串口");
    ports->close(PortController::Assistant, PortController::TabSwitch);
    ports->close(PortController::Pid, PortController::TabSwitch);
}

void MainWindow::on_buttonScan_clicked()
{
    refillPortBox(ui->comboPort);
}

void MainWindow::on_buttonScanPID_clicked()
{
    refillPortBox(ui->comboPortPID);
}

// The ports found, then the devices typed or given with --port while they exist; a typed device
// that was selected stays selected.
void MainWindow::refillPortBox(QComboBox *box)
{
    const PortListRefill refill = PortListRefill::build(
        serial.scanPorts(), typedPorts, box->currentText(), &PortListRefill::deviceExists);
    box->clear();
    box->addItems(refill.items);
    box->setCurrentIndex(refill.current);
}
