#include "base/logging.h"
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"

#include <QComboBox>

void MainWindow::usePort(const QString &device)
{
    const QString name = device.trimmed();
    if (name.isEmpty())
        return;
    qCDebug(lcApp) << "port from the command line" << name;
    if (!typedPorts.contains(name))
        typedPorts.append(name);
    for (QComboBox *box : {ui->comboPort, ui->comboPortPID}) {
        // The scan may already have listed it; do not show it twice.
        int index = box->findText(name, Qt::MatchExactly);
        if (index < 0) {
            box->addItem(name);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    }
}
