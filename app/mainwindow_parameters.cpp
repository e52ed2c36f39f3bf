// Safe input to the board: the parameter fields' object wired to the window.
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/parameterpanel.h"
#include "serial/portcontroller.h"

#include <QStatusBar>

void MainWindow::wireParameters()
{
    parameters =
        new ParameterPanel(link, {ui->editP, ui->editI, ui->editD, ui->editTarget, ui->editActual},
                           ui->checkVerifyWrite, this);
    connect(parameters, &ParameterPanel::message, this,
            [this](const QString &text) { statusBar()->showMessage(text, 0); });
    connect(ports, &PortController::closed, parameters, [this](int tab) {
        if (tab == PortController::Pid)
            parameters->lineClosed();
    });
}
