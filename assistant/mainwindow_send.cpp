// Serial assistant: sending typed text, hexadecimal bytes and files, once or periodically.
#include "base/logging.h"
#include "app/mainwindow.h"
#include "assistant/linewriter.h"
#include "assistant/sendinput.h"
#include "datafiles/recentfolders.h"
#include "forms/mainwindow_ui.h"

#include <QFileDialog>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>

void MainWindow::on_timer_timeout1()
{
    on_buttonSendData_clicked();
}

void MainWindow::on_buttonSelectfile_clicked()
{
    if (writer->isSendingFile()) {
        statusBar()->showMessage(tr("发送失败：正在发送文件"), 0);
        return;
    }
    const QString fileName = QFileDialog::getOpenFileName(this, tr("选择一个文件"),
                                                          folders->folder(RecentFolders::SendFile),
                                                          tr("文件(*.hex *.bin *)"));
    if (fileName.isEmpty())
        return;
    folders->rememberFile(RecentFolders::SendFile, fileName);
    ui->labelPath->setText(fileName);
    // Sent as stored (a .hex file goes out as its text, not decoded), in chunks as the line
    // takes them; only a regular file of bounded size.
    QString error;
    if (!writer->sendFile(fileName, error)) {
        qCDebug(lcAssistant) << "cannot send" << fileName << error;
        statusBar()->showMessage(tr("文件打开失败！%1").arg(error), 0);
        return;
    }
    // A first write the line refused ends the file inside sendFile(), and that end has been
    // reported: no dialog for a send that is over.
    if (!writer->isSendingFile())
        return;
    fileProgress = new QProgressDialog(tr("正在发送文件…"), tr("取消"), 0, 100, this);
    fileProgress->setWindowTitle(tr("发送文件"));
    fileProgress->setAttribute(Qt::WA_DeleteOnClose);
    // Small files are gone before it would show.
    fileProgress->setMinimumDuration(500);
    connect(fileProgress, &QProgressDialog::canceled, writer, &LineWriter::cancelFile);
}

void MainWindow::showFileProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    statusBar()->showMessage(tr("正在发送文件 %1%").arg(percent), 0);
    if (fileProgress)
        fileProgress->setValue(percent);
}

void MainWindow::showFileFinished(int outcome, qint64 done)
{
    if (fileProgress) {
        // Closing it would report a cancel.
        disconnect(fileProgress, nullptr, writer, nullptr);
        fileProgress->close();
    }
    statusBar()->showMessage(LineWriter::fileOutcomeText(LineWriter::FileOutcome(outcome), done),
                             0);
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

// "发送成功！" follows once the driver has all of it; a send is refused while more than a
// second of line time waits, so auto-send cannot outrun the line.
void MainWindow::sendBytes(const QByteArray &bytes)
{
    if (writer->isSendingFile()) {
        statusBar()->showMessage(tr("发送失败：正在发送文件"), 0);
        return;
    }
    const LineWriter::Result result = writer->send(bytes);
    if (result != LineWriter::Result::Queued)
        statusBar()->showMessage(LineWriter::resultText(result), 0);
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
