// PID tab: bytes from the board applied to the chart, the fields and the run.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidframe.h"

#include <QLabel>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

namespace {
// Often enough to watch a noisy line, rarely enough to cost nothing at full frame rate.
constexpr int LinkHealthIntervalMs = 250;

QString fieldText(float value)
{
    return QString::number(double(value), 'g', 6);
}
} // namespace

void MainWindow::on_readDataPID()
{
    // Everything available: bytes left in the port would only pile up behind a steady stream.
    const QByteArray bytes = serial.port->readAll();
    if (bytes.isEmpty())
        return;

    if (stringMode) {
        lineEvents.clear();
        lineSplitter.feed(bytes, lineEvents);
        for (const SampleLineSplitter::Event &event : lineEvents)
            applyLineEvent(event);
        return;
    }

    frameEvents.clear();
    frameReceiver.feed(bytes, frameEvents);
    for (const FrameReceiver::Event &event : frameEvents)
        applyFrameEvent(event);
}

void MainWindow::applyFrameEvent(const FrameReceiver::Event &event)
{
    switch (event.type) {
    case FrameReceiver::Event::Sample:
        diagram->appendActual(event.channel, event.actual);
        diagram->appendTarget(event.channel, event.target);
        break;
    case FrameReceiver::Event::Command:
        applyCommand(event);
        break;
    case FrameReceiver::Event::HeaderError:
        qCDebug(lcPidLink) << "frame header error, bytes dropped:" << event.discarded;
        statusBar()->showMessage(tr("数据帧头错误"), 0);
        break;
    case FrameReceiver::Event::TerminatorError:
        qCDebug(lcPidLink) << "frame terminator error, bytes dropped:" << event.discarded;
        statusBar()->showMessage(tr("校验错误"), 0);
        break;
    }
}

QLineEdit *MainWindow::parameterField(unsigned char op) const
{
    switch (op) {
    case CmdP:
        return ui->editP;
    case CmdI:
        return ui->editI;
    case CmdD:
        return ui->editD;
    case CmdTarget:
        return ui->editTarget;
    case CmdActual:
        return ui->editActual;
    default:
        return nullptr;
    }
}

void MainWindow::applyCommand(const FrameReceiver::Event &event)
{
    struct Messages
    {
        unsigned char op;
        const char *received;
        const char *sent;
    };
    static constexpr Messages parameterMessages[] = {
        {CmdP, "成功接收P", "成功发送P"},
        {CmdI, "成功接收I", "成功发送I"},
        {CmdD, "成功接收D", "成功发送D"},
        {CmdTarget, "成功接收目标值", "成功发送目标值"},
    };
    const bool isValue = event.dir != 0;
    for (const Messages &m : parameterMessages) {
        if (m.op != event.op)
            continue;
        if (isValue) {
            parameterField(m.op)->setText(fieldText(event.value));
            statusBar()->showMessage(tr(m.received), 0);
        } else {
            // The board asks for the value this program holds: the field's number.
            sendCommand(m.op, DirWrite, parameterField(m.op)->text().toFloat());
            statusBar()->showMessage(tr(m.sent), 0);
        }
        return;
    }

    switch (event.op) {
    case CmdActual:
        if (isValue) {
            parameterField(CmdActual)->setText(fieldText(event.value));
            statusBar()->showMessage(tr("成功接收实际值"), 0);
        }
        break;
    case CmdStart:
        if (!remoteRunning) {
            remoteRunning = true;
            on_buttonStart_clicked();
        }
        statusBar()->showMessage(tr("成功接收到开始指令，开始运行"), 0);
        break;
    case CmdStop:
        if (remoteRunning) {
            remoteRunning = false;
            on_buttonStart_clicked();
        }
        statusBar()->showMessage(tr("成功接收到停止指令，停止运行"), 0);
        break;
    default:
        break; // unused operation codes are accepted and ignored
    }
}

void MainWindow::applyLineEvent(const SampleLineSplitter::Event &event)
{
    switch (event.type) {
    case SampleLineSplitter::Event::Line:
        for (int ch = 0; ch < PID_Diagram::ChannelCount; ++ch) {
            diagram->appendActual(ch, event.values[std::size_t(2 * ch)]);
            diagram->appendTarget(ch, event.values[std::size_t(2 * ch + 1)]);
        }
        break;
    case SampleLineSplitter::Event::Malformed:
        qCDebug(lcPidLink) << event.text;
        statusBar()->showMessage(tr("数据格式错误，接收失败"), 0);
        break;
    case SampleLineSplitter::Event::Overlong:
        qCDebug(lcPidLink) << "text without a line end dropped after"
                           << SampleLineSplitter::MaxLineLength << "characters";
        statusBar()->showMessage(tr("数据格式错误，接收失败"), 0);
        break;
    }
}

void MainWindow::on_checkStringMode_clicked(bool checked)
{
    stringMode = checked;
    QPushButton *const buttons[] = {ui->buttonPRead,  ui->buttonIRead,  ui->buttonDRead,
                                    ui->buttonARead,  ui->buttonTRead,  ui->buttonPWrite,
                                    ui->buttonIWrite, ui->buttonDWrite, ui->buttonTWrite};
    for (QPushButton *button : buttons)
        button->setDisabled(checked);
    statusBar()->showMessage(QStringLiteral("更改接收协议"), 0);
    updateLinkHealth();
}

void MainWindow::setLinkHealthVisible(bool visible)
{
    if (!linkHealthLabel) {
        linkHealthLabel = new QLabel(this);
        linkHealthLabel->setObjectName(QStringLiteral("labelLinkHealth"));
        linkHealthLabel->setToolTip(tr("PID链路：收到的帧、丢弃的字节、重新同步的次数"));
        linkHealthLabel->hide();
        statusBar()->addPermanentWidget(linkHealthLabel);
        linkHealthTimer = new QTimer(this);
        linkHealthTimer->setInterval(LinkHealthIntervalMs);
        connect(linkHealthTimer, &QTimer::timeout, this, &MainWindow::updateLinkHealth);
    }
    if (visible) {
        // Each opening of the port starts its own count.
        frameReceiver.resetHealth();
        lineSplitter.resetHealth();
        updateLinkHealth();
        linkHealthTimer->start();
    } else {
        linkHealthTimer->stop();
    }
    linkHealthLabel->setVisible(visible);
}

void MainWindow::updateLinkHealth()
{
    if (!linkHealthLabel)
        return;
    QString text;
    if (stringMode) {
        const SampleLineSplitter::Health &h = lineSplitter.health();
        text =
            tr("行 %1 · 格式错误 %2 · 丢弃 %3 字符").arg(h.lines).arg(h.malformed).arg(h.dropped);
    } else {
        const FrameReceiver::Health &h = frameReceiver.health();
        text = tr("帧 %1 · 丢弃 %2 字节 · 重同步 %3").arg(h.frames).arg(h.discarded).arg(h.resyncs);
    }
    if (text != linkHealthLabel->text())
        linkHealthLabel->setText(text);
}
