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
#include <QTimer>

namespace {
// Paragraphs the receive box keeps; older ones are dropped so a chatty board cannot exhaust
// memory or make every append slower.
constexpr int receiveScrollback = 5000;
// Every update of the box lays it out and repaints it; a USB adapter at 1 MB/s delivers some
// 16,000 arrivals a second. A quiet line shows each arrival at once, a busy one in batches at
// most this often, each arrival still its own paragraph.
constexpr int receiveFlushIntervalMs = 50;
} // namespace

void MainWindow::on_readData()
{
    const QByteArray chunk = serial.port->readAll();
    // The local time costs a time-zone lookup (a stat of /etc/localtime) per call: a sixth of
    // the receive path at 16,000 arrivals a second. Only stamped arrivals need it.
    const QTime now = logMode ? QTime::currentTime() : QTime();
    const QString paragraph = receiveFormatter.format(chunk, recvHex, logMode, now);
    if (!paragraph.isNull())
        queueReceived(paragraph);
}

void MainWindow::queueReceived(const QString &paragraph)
{
    pendingReceived.append(paragraph);
    const qint64 sinceFlush =
        receiveFlushClock.isValid() ? receiveFlushClock.elapsed() : receiveFlushIntervalMs;
    if (sinceFlush >= receiveFlushIntervalMs) {
        flushReceived();
        return;
    }
    if (!receiveFlushTimer) {
        receiveFlushTimer = new QTimer(this);
        receiveFlushTimer->setSingleShot(true);
        connect(receiveFlushTimer, &QTimer::timeout, this, &MainWindow::flushReceived);
    }
    if (!receiveFlushTimer->isActive())
        receiveFlushTimer->start(int(receiveFlushIntervalMs - sinceFlush));
}

void MainWindow::flushReceived()
{
    if (receiveFlushTimer)
        receiveFlushTimer->stop();
    if (pendingReceived.isEmpty())
        return;
    receiveFlushClock.start();
    // A flood can bring more than the scrollback holds between two updates; what it would
    // drop at once is not laid out at all, so an update never costs more than a full box.
    const int first = ReceiveFormatter::firstKept(pendingReceived, receiveScrollback);
    showReceived(first == 0 ? pendingReceived : pendingReceived.mid(first));
    pendingReceived.clear();
}

void MainWindow::showReceived(const QStringList &paragraphs)
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
    for (const QString &paragraph : paragraphs) {
        if (!document->isEmpty())
            cursor.insertBlock();
        cursor.insertText(paragraph);
    }
    cursor.endEditBlock();

    if (atBottom)
        bar->setValue(bar->maximum());
}

void MainWindow::on_pushRecvclear_clicked()
{
    // Arrivals still waiting for the display came before the click.
    pendingReceived.clear();
    ui->textRecvOutput->clear();
}

void MainWindow::on_pushSaveAs_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择一个文件夹"),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    ui->labelPath->setText(folder);
    flushReceived();

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
