// Serial assistant: sending typed text, hexadecimal bytes and files, once or periodically.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "assistant/hexinput.h"
#include "forms/mainwindow_ui.h"

#include <QFile>
#include <QFileDialog>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

#include <limits>

void MainWindow::on_timer_timeout1()
{
    on_buttonSendData_clicked();
}

void MainWindow::on_buttonSelectfile_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, QStringLiteral("选择一个文件"), QString(), QStringLiteral("文件(*.hex *.bin *)"));
    if (fileName.isEmpty())
        return;
    ui->labelPath->setText(fileName);

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcAssistant) << "cannot read" << fileName << file.errorString();
        statusBar()->showMessage(QStringLiteral("文件打开失败！"), 0);
        return;
    }
    // Sent as stored: a .hex file goes out as its text, not decoded.
    const QByteArray content = file.readAll();
    file.close();
    sendBytes(content);
}

void MainWindow::on_buttonSendData_clicked()
{
    QString text = ui->textSendInput->toPlainText();
    if (sendHex) {
        const std::optional<QByteArray> bytes = parseHexInput(text);
        if (!bytes) {
            statusBar()->showMessage(QStringLiteral("发送失败，请检查输入是否为0xXX的形式！"), 0);
            return;
        }
        sendBytes(*bytes);
        return;
    }
    if (newLine)
        text += QStringLiteral("\r\n");
    // UTF-8 like the receive display, so typed Chinese arrives intact.
    sendBytes(text.toUtf8());
}

void MainWindow::sendBytes(const QByteArray &bytes)
{
    const bool sent = serial.port->isOpen() && serial.port->write(bytes) == bytes.size();
    statusBar()->showMessage(sent ? QStringLiteral("发送成功！") : QStringLiteral("发送失败！"), 0);
}

void MainWindow::on_checkAutoSend_clicked(bool checked)
{
    if (!checked) {
        ui->textTime->setEnabled(true);
        if (autoSendTimer) {
            QObject::disconnect(autoSendTimer, nullptr, nullptr, nullptr);
            delete autoSendTimer;
            autoSendTimer = nullptr;
        }
        return;
    }
    if (autoSendTimer) {
        ui->textTime->setDisabled(true);
        return;
    }

    bool ok = false;
    const uint period = ui->textTime->toPlainText().toUInt(&ok, 10);
    // A period of 0 would send whenever the event loop is idle and flood the line.
    if (!ok || period == 0 || period > uint(std::numeric_limits<int>::max())) {
        ui->checkAutoSend->setChecked(false);
        ui->textTime->setEnabled(true);
        statusBar()->showMessage(QStringLiteral("发送周期无效"), 0);
        return;
    }
    ui->textTime->setDisabled(true);
    autoSendTimer = new QTimer(nullptr);
    autoSendTimer->setInterval(int(period));
    QObject::connect(autoSendTimer, SIGNAL(timeout()), this, SLOT(on_timer_timeout1()));
    autoSendTimer->start();
    qCDebug(lcAssistant) << "auto-send every" << period << "ms";
}
