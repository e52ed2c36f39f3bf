// Serial assistant: sending typed text, hexadecimal bytes and files, once or periodically.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "assistant/sendinput.h"
#include "forms/mainwindow_ui.h"
#include "serial/portcontroller.h"

#include <QFile>
#include <QFileDialog>
#include <QStatusBar>
#include <QTimer>

void MainWindow::on_timer_timeout1()
{
    on_buttonSendData_clicked();
}

void MainWindow::on_buttonSelectfile_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("选择一个文件"), QString(),
                                                          tr("文件(*.hex *.bin *)"));
    if (fileName.isEmpty())
        return;
    ui->labelPath->setText(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcAssistant) << "cannot read" << fileName << file.errorString();
        statusBar()->showMessage(tr("文件打开失败！"), 0);
        return;
    }
    // Sent as stored: a .hex file goes out as its text, not decoded.
    sendBytes(file.readAll());
}

void MainWindow::on_buttonSendData_clicked()
{
    const std::optional<QByteArray> bytes =
        sendInputBytes(ui->textSendInput->toPlainText(), sendHex, newLine);
    if (!bytes) {
        statusBar()->showMessage(tr("发送失败，请检查输入是否为0xXX的形式！"), 0);
        return;
    }
    sendBytes(*bytes);
}

void MainWindow::sendBytes(const QByteArray &bytes)
{
    statusBar()->showMessage(ports->write(bytes) ? tr("发送成功！") : tr("发送失败！"), 0);
}

void MainWindow::on_checkAutoSend_clicked(bool checked)
{
    if (!checked) {
        stopAutoSend();
        return;
    }
    if (autoSendTimer)
        return;
    const std::optional<int> period = parseSendPeriod(ui->textTime->toPlainText());
    if (!period) {
        stopAutoSend();
        statusBar()->showMessage(tr("发送周期无效"), 0);
        return;
    }
    ui->textTime->setDisabled(true);
    autoSendTimer = new QTimer(nullptr);
    autoSendTimer->setInterval(*period);
    QObject::connect(autoSendTimer, SIGNAL(timeout()), this, SLOT(on_timer_timeout1()));
    autoSendTimer->start();
    qCDebug(lcAssistant) << "auto-send every" << *period << "ms";
}

// Auto-send off: by its box, or because the port closed.
void MainWindow::stopAutoSend()
{
    ui->checkAutoSend->setChecked(false);
    ui->textTime->setEnabled(true);
    delete autoSendTimer;
    autoSendTimer = nullptr;
}
