// PID tab: the switch of the receive protocol.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/linkhealthlabel.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"

#include <QStatusBar>

void MainWindow::on_checkStringMode_clicked(bool checked)
{
    stringMode = checked;
    link->setStringMode(checked);
    QPushButton *const buttons[] = {ui->buttonPRead,  ui->buttonIRead,  ui->buttonDRead,
                                    ui->buttonARead,  ui->buttonTRead,  ui->buttonPWrite,
                                    ui->buttonIWrite, ui->buttonDWrite, ui->buttonTWrite};
    for (QPushButton *button : buttons)
        button->setDisabled(checked);
    statusBar()->showMessage(tr("更改接收协议"), 0);
    linkHealth->refresh();
}
