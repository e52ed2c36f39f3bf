#include "assistant/assistanttab.h"

#include "assistant/linewriter.h"
#include "assistant/receivelog.h"
#include "assistant/sendinput.h"
#include "base/logging.h"
#include "datafiles/recentfolders.h"
#include "serial/portboxes.h"
#include "serial/portcontroller.h"
#include "serial/portsettings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QProgressDialog>
#include <QSerialPort>
#include <QTextEdit>
#include <QTime>
#include <QTimer>

AssistantTab::AssistantTab(const Widgets &widgets, PortController *portController,
                           PortBoxes *portBoxes, RecentFolders *recentFolders, QWidget *parent)
    : QObject(parent), ui(widgets), ports(portController), boxes(portBoxes), folders(recentFolders),
      window(parent), receiveBox(new ReceiveLog(widgets.receiveBox, this)),
      writer(new LineWriter(this))
{
    using Button = QAbstractButton;
    using Tab = AssistantTab;
    connect(ui.openPort, &Button::clicked, this, &Tab::on_buttonOpenport_clicked);
    connect(ui.scan, &Button::clicked, this, &Tab::on_buttonScan_clicked);
    connect(ui.selectFile, &Button::clicked, this, &Tab::on_buttonSelectfile_clicked);
    connect(ui.send, &Button::clicked, this, &Tab::on_buttonSendData_clicked);
    connect(ui.clearReceive, &Button::clicked, this, &Tab::on_pushRecvclear_clicked);
    connect(ui.saveReceive, &Button::clicked, this, &Tab::on_pushSaveAs_clicked);
    connect(ui.receiveText, &Button::clicked, this, &Tab::on_radioRecvOptASCII_clicked);
    connect(ui.receiveHex, &Button::clicked, this, &Tab::on_radioRecvOptHEX_clicked);
    connect(ui.timeStamps, &Button::clicked, this, &Tab::on_checkLogmode_clicked);
    connect(ui.newLine, &Button::clicked, this, &Tab::on_checkNewline_clicked);
    connect(ui.autoSend, &Button::clicked, this, &Tab::on_checkAutoSend_clicked);
    connect(ui.sendText, &Button::clicked, this, &Tab::on_radioSendOptASCII_clicked);
    connect(ui.sendHex, &Button::clicked, this, &Tab::on_radioSendOptHEX_clicked);

    // Sends count as sent once the driver has them.
    connect(writer, &LineWriter::sent, this, [this] { emit message(tr("发送成功！")); });
    connect(writer, &LineWriter::fileProgress, this, &Tab::showFileProgress);
    connect(writer, &LineWriter::fileFinished, this,
            [this](LineWriter::FileOutcome outcome, qint64 done) {
                showFileFinished(int(outcome), done);
            });
    connect(ports, &PortController::opened, this, &Tab::portOpened);
    connect(ports, &PortController::closed, this, &Tab::portClosed);
}

void AssistantTab::on_buttonOpenport_clicked()
{
    if (ports->isOpen(PortController::Assistant)) {
        ports->close(PortController::Assistant, PortController::ByUser);
        return;
    }
    boxes->open(PortController::Assistant, ui.port->currentText(),
                PortSettings::fromTexts(ui.baudRate->currentText(), ui.dataBits->currentText(),
                                        ui.parity->currentText(), ui.stopBits->currentText()));
}

void AssistantTab::on_buttonScan_clicked()
{
    boxes->refill(ui.port);
}

void AssistantTab::portOpened(int tab)
{
    if (tab != PortController::Assistant)
        return;
    // A character left incomplete by the previous session would never be completed.
    receiveBox->reset();
    writer->attach(ports->port(), ports->port()->baudRate());
    // Closing drops every connection of the port, so this is made on every open.
    connect(ports->port(), &QSerialPort::readyRead, this, &AssistantTab::on_readData);
    showPortState(true);
}

// Auto-send off and what waits to be sent dropped; a file being sent ends.
void AssistantTab::portClosed(int tab)
{
    if (tab != PortController::Assistant)
        return;
    stopAutoSend();
    writer->detach();
    showPortState(false);
}

void AssistantTab::showPortState(bool open)
{
    ui.openPort->setText(open ? tr("关闭串口") : tr("打开串口"));
    for (QWidget *w : std::initializer_list<QWidget *>{ui.scan, ui.port, ui.baudRate, ui.dataBits,
                                                       ui.stopBits, ui.parity})
        w->setEnabled(!open);
    for (QAbstractButton *button : {ui.selectFile, ui.send, ui.autoSend})
        button->setEnabled(open);
}

void AssistantTab::on_readData()
{
    // The local time costs a time-zone lookup (a stat of /etc/localtime) per call: a sixth of
    // the receive path at 16,000 arrivals a second. Only stamped arrivals need it.
    receiveBox->append(ports->read(), recvHex, logMode, logMode ? QTime::currentTime() : QTime());
}

void AssistantTab::on_pushRecvclear_clicked()
{
    receiveBox->clear();
}

void AssistantTab::on_pushSaveAs_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(window, tr("选择一个文件夹"),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    ui.path->setText(folder);
    QString error;
    if (!receiveBox->saveTo(folder + QStringLiteral("/datas.txt"), error)) {
        qCDebug(lcAssistant) << "cannot save into" << folder << error;
        emit message(tr("保存失败！"));
    }
}

void AssistantTab::on_radioRecvOptASCII_clicked(bool checked)
{
    if (checked)
        recvHex = false;
}

void AssistantTab::on_radioRecvOptHEX_clicked(bool checked)
{
    if (checked)
        recvHex = true;
}

void AssistantTab::on_checkLogmode_clicked(bool checked)
{
    logMode = checked;
}

void AssistantTab::on_checkNewline_clicked(bool checked)
{
    newLine = checked;
}

void AssistantTab::on_radioSendOptASCII_clicked(bool checked)
{
    if (checked)
        sendHex = false;
}

void AssistantTab::on_radioSendOptHEX_clicked(bool checked)
{
    if (checked)
        sendHex = true;
}

void AssistantTab::on_timer_timeout1()
{
    on_buttonSendData_clicked();
}

void AssistantTab::on_buttonSelectfile_clicked()
{
    if (writer->isSendingFile()) {
        emit message(tr("发送失败：正在发送文件"));
        return;
    }
    const QString fileName = QFileDialog::getOpenFileName(window, tr("选择一个文件"),
                                                          folders->folder(RecentFolders::SendFile),
                                                          tr("文件(*.hex *.bin *)"));
    if (fileName.isEmpty())
        return;
    folders->rememberFile(RecentFolders::SendFile, fileName);
    ui.path->setText(fileName);
    // Sent as stored (a .hex file goes out as its text, not decoded), in chunks as the line
    // takes them; only a regular file of bounded size.
    QString error;
    if (!writer->sendFile(fileName, error)) {
        qCDebug(lcAssistant) << "cannot send" << fileName << error;
        emit message(tr("文件打开失败！%1").arg(error));
        return;
    }
    // A first write the line refused ends the file inside sendFile(), and that end has been
    // reported: no dialog for a send that is over.
    if (!writer->isSendingFile())
        return;
    fileProgress = new QProgressDialog(tr("正在发送文件…"), tr("取消"), 0, 100, window);
    fileProgress->setWindowTitle(tr("发送文件"));
    fileProgress->setAttribute(Qt::WA_DeleteOnClose);
    // Small files are gone before it would show.
    fileProgress->setMinimumDuration(500);
    connect(fileProgress, &QProgressDialog::canceled, writer, &LineWriter::cancelFile);
}

void AssistantTab::showFileProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    emit message(tr("正在发送文件 %1%").arg(percent));
    if (fileProgress)
        fileProgress->setValue(percent);
}

void AssistantTab::showFileFinished(int outcome, qint64 done)
{
    if (fileProgress) {
        // Closing it would report a cancel.
        disconnect(fileProgress, nullptr, writer, nullptr);
        fileProgress->close();
    }
    emit message(LineWriter::fileOutcomeText(LineWriter::FileOutcome(outcome), done));
}

void AssistantTab::on_buttonSendData_clicked()
{
    const std::optional<QByteArray> bytes =
        sendInputBytes(ui.sendInput->toPlainText(), sendHex, newLine);
    if (!bytes) {
        emit message(tr("发送失败，请检查输入是否为0xXX的形式！"));
        return;
    }
    sendBytes(*bytes);
}

// "发送成功！" follows once the driver has all of it; a send is refused while more than a
// second of line time waits, so auto-send cannot outrun the line.
void AssistantTab::sendBytes(const QByteArray &bytes)
{
    if (writer->isSendingFile()) {
        emit message(tr("发送失败：正在发送文件"));
        return;
    }
    const LineWriter::Result result = writer->send(bytes);
    if (result != LineWriter::Result::Queued)
        emit message(LineWriter::resultText(result));
}

void AssistantTab::on_checkAutoSend_clicked(bool checked)
{
    if (!checked) {
        stopAutoSend();
        return;
    }
    if (autoSendTimer)
        return;
    const std::optional<int> period = parseSendPeriod(ui.period->toPlainText());
    if (!period) {
        stopAutoSend();
        emit message(tr("发送周期无效"));
        return;
    }
    ui.period->setDisabled(true);
    autoSendTimer = new QTimer(this);
    autoSendTimer->setInterval(*period);
    connect(autoSendTimer, &QTimer::timeout, this, &AssistantTab::on_timer_timeout1);
    autoSendTimer->start();
    qCDebug(lcAssistant) << "auto-send every" << *period << "ms";
}

// Auto-send off: by its box, or because the port closed.
void AssistantTab::stopAutoSend()
{
    ui.autoSend->setChecked(false);
    ui.period->setEnabled(true);
    delete autoSendTimer;
    autoSendTimer = nullptr;
}
