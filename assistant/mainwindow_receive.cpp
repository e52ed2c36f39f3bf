// Serial assistant: the receive display and the receive/send option switches.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "forms/mainwindow_ui.h"

#include <QFile>
#include <QFileDialog>
#include <QScrollBar>
#include <QSerialPort>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTime>

namespace {
// Paragraphs the receive box keeps; older ones are dropped so a chatty board cannot exhaust
// memory or make every append slower.
constexpr int receiveScrollback = 5000;
} // namespace

void MainWindow::on_readData()
{
    const QByteArray chunk = serial.port->readAll();
    const QString paragraph =
        receiveFormatter.format(chunk, recvHex, logMode, QTime::currentTime());
    if (!paragraph.isNull())
        showReceived(paragraph);
}

void MainWindow::showReceived(const QString &paragraph)
{
    QTextEdit *box = ui->textRecvOutput;
    QTextDocument *document = box->document();
    // Set here rather than once: the limit also switches off the undo history, which would
    // otherwise keep every arrival.
    if (document->maximumBlockCount() != receiveScrollback)
        document->setMaximumBlockCount(receiveScrollback);

    // Follow new text only when the view already showed the end, as QTextEdit::append does.
    QScrollBar *bar = box->verticalScrollBar();
    const bool atBottom =
        box->isReadOnly() ? bar->value() >= bar->maximum() : box->textCursor().atEnd();

    // Plain text always: append() would take "<b>" from the board as markup.
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!document->isEmpty())
        cursor.insertBlock();
    cursor.insertText(paragraph);
    cursor.endEditBlock();

    if (atBottom)
        bar->setValue(bar->maximum());
}

void MainWindow::on_pushRecvclear_clicked()
{
    ui->textRecvOutput->clear();
}

void MainWindow::on_pushSaveAs_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择一个文件夹"),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    ui->labelPath->setText(folder);

    QFile file(folder + QStringLiteral("/datas.txt"));
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcAssistant) << "cannot save" << file.fileName() << file.errorString();
        statusBar()->showMessage(QStringLiteral("保存失败！"), 0);
        return;
    }
    // UTF-8 like the display: Latin-1 would turn the time stamps' 时分秒 into "?".
    const QByteArray content = ui->textRecvOutput->toPlainText().toUtf8();
    if (file.write(content) != content.size() || !file.flush()) {
        qCDebug(lcAssistant) << "cannot save" << file.fileName() << file.errorString();
        statusBar()->showMessage(QStringLiteral("保存失败！"), 0);
    }
    file.close();
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
