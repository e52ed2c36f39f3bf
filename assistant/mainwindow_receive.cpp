// Serial assistant: the receive display and the receive/send option switches.
#include "base/logging.h"
#include "app/mainwindow.h"
#include "assistant/receivelog.h"
#include "forms/mainwindow_ui.h"
#include "serial/portcontroller.h"

#include <QFileDialog>
#include <QStatusBar>
#include <QTime>

void MainWindow::on_readData()
{
    // The local time costs a time-zone lookup (a stat of /etc/localtime) per call: a sixth of
    // the receive path at 16,000 arrivals a second. Only stamped arrivals need it.
    receiveBox->append(ports->read(), recvHex, logMode, logMode ? QTime::currentTime() : QTime());
}

void MainWindow::on_pushRecvclear_clicked()
{
    receiveBox->clear();
}

void MainWindow::on_pushSaveAs_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("选择一个文件夹"), QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    ui->labelPath->setText(folder);
    QString error;
    if (!receiveBox->saveTo(folder + QStringLiteral("/datas.txt"), error)) {
        qCDebug(lcAssistant) << "cannot save into" << folder << error;
        statusBar()->showMessage(tr("保存失败！"), 0);
    }
}

void MainWindow::on_radioRecvOptASCII_clicked(bool checked)
{
    if (checked)
        recvHex = false;
}

void MainWindow::on_radioRecvOptHEX_clicked(bool checked)
{
    if (checked)
        recvHex = true;
}

void MainWindow::on_checkLogmode_clicked(bool checked)
{
    logMode = checked;
}

void MainWindow::on_checkNewline_clicked(bool checked)
{
    newLine = checked;
}

void MainWindow::on_radioSendOptASCII_clicked(bool checked)
{
    if (checked)
        sendHex = false;
}

void MainWindow::on_radioSendOptHEX_clicked(bool checked)
{
    if (checked)
        sendHex = true;
}
