#include "pidlink/pidlink.h"

#include "base/arrivalclock.h"
#include "base/logging.h"
#include "pidlink/pidframe.h"

#include <QIODevice>

PidLink::PidLink(QObject *parent) : QObject(parent) {}

PidLink::~PidLink() = default;

void PidLink::setDevice(QIODevice *device)
{
    io = device;
}

void PidLink::setParameterSource(ParameterSource source)
{
    parameterSource = std::move(source);
}

void PidLink::readAvailable()
{
    // Everything available: bytes left behind would only pile up behind a steady stream.
    if (io)
        feed(io->readAll());
}

void PidLink::feed(const QByteArray &bytes, qint64 arrivalNs)
{
    if (bytes.isEmpty())
        return;
    // One stamp for all samples of a read: they arrived together.
    readNs = arrivalNs >= 0 ? arrivalNs : ArrivalClock::nowNs();
    emit bytesRead(bytes, readNs);
    // Handlers may call back into the link, but never feed it: the event lists stay valid.
    if (textMode) {
        lineEvents.clear();
        lines.feed(bytes, lineEvents);
        for (const SampleLineSplitter::Event &event : lineEvents)
            handleLineEvent(event);
    } else {
        frameEvents.clear();
        frames.feed(bytes, frameEvents);
        for (const FrameReceiver::Event &event : frameEvents)
            handleFrameEvent(event);
    }
    handOnSamples();
}

void PidLink::handOnSamples()
{
    if (samples.isEmpty())
        return;
    emit samplesReceived(samples, readNs);
    samples.clear(); // keeps its capacity for the next read
}

bool PidLink::canWrite() const
{
    return io && io->isWritable();
}

void PidLink::writeFrame(quint8 op, quint8 dir, quint8 channel, float value)
{
    char frame[FrameSize];
    buildCommandFrame(frame, op, dir, channel, 0, value);
    if (canWrite())
        io->write(frame, FrameSize);
}

bool PidLink::requestParameter(quint8 op, quint8 channel)
{
    if (!canWrite())
        return false;
    writeFrame(op, DirRead, channel, 0.0f);
    return true;
}

bool PidLink::writeParameter(quint8 op, quint8 channel, float value)
{
    if (!canWrite())
        return false;
    writeFrame(op, DirWrite, channel, value);
    emit parameterWritten(op, channel, value);
    return true;
}

void PidLink::setRunActive(bool active)
{
    if (active != run.isActive())
        runEvent(RunControl::Event::Button);
}

void PidLink::portClosed()
{
    runEvent(RunControl::Event::PortClosed);
}

void PidLink::runEvent(RunControl::Event event)
{
    const bool before = run.isActive();
    const RunControl::Step step = run.handle(event);
    // Start and stop carry channel 0; with the device closed the frame is simply not sent.
    if (step.frame != RunControl::Frame::None) {
        qCDebug(lcPidLink) << (step.frame == RunControl::Frame::Start ? "Start" : "Stop");
        writeFrame(step.frame == RunControl::Frame::Start ? CmdStart : CmdStop, DirRead, 0, 0.0f);
    }
    if (step.active != before)
        emit runChanged(step.active);
    if (!step.status.isNull())
        emit runStatus(step.status);
}

void PidLink::forgetLine()
{
    frames.discardPending();
    lines.discardPending();
}

void PidLink::resetHealth()
{
    frames.resetHealth();
    lines.resetHealth();
}

void PidLink::handleFrameEvent(const FrameReceiver::Event &event)
{
    // What the board did after the samples before it is told after them.
    if (event.type != FrameReceiver::Event::Sample)
        handOnSamples();
    switch (event.type) {
    case FrameReceiver::Event::Sample:
        samples.append({event.channel, event.actual, event.target});
        break;
    case FrameReceiver::Event::Command:
        handleCommand(event);
        break;
    case FrameReceiver::Event::HeaderError:
        qCDebug(lcPidLink) << "frame header error, bytes dropped:" << event.discarded;
        emit linkError(tr("数据帧头错误"));
        break;
    case FrameReceiver::Event::TerminatorError:
        qCDebug(lcPidLink) << "frame terminator error, bytes dropped:" << event.discarded;
        emit linkError(tr("校验错误"));
        break;
    }
}

void PidLink::handleCommand(const FrameReceiver::Event &event)
{
    const bool isValue = event.dir != DirRead;
    switch (event.op) {
    case CmdP:
    case CmdI:
    case CmdD:
    case CmdTarget:
        if (isValue) {
            emit parameterReceived(event.op, event.channel, event.value);
        } else {
            // The board asks for the value this program holds; replies carry channel 0.
            const std::optional<float> value =
                parameterSource ? parameterSource(event.op, event.channel) : 0.0f;
            if (!value) {
                emit readRequestRefused(event.op, event.channel);
                break;
            }
            writeFrame(event.op, DirWrite, 0, *value);
            emit readRequestAnswered(event.op, *value);
        }
        break;
    case CmdActual:
        if (isValue) // a read request for the actual value is not answered
            emit parameterReceived(event.op, event.channel, event.value);
        break;
    case CmdStart:
        runEvent(RunControl::Event::BoardStart);
        break;
    case CmdStop:
        runEvent(RunControl::Event::BoardStop);
        break;
    default:
        break; // unused operation codes are accepted and ignored
    }
}

void PidLink::handleLineEvent(const SampleLineSplitter::Event &event)
{
    if (event.type != SampleLineSplitter::Event::Line)
        handOnSamples();
    switch (event.type) {
    case SampleLineSplitter::Event::Line:
        for (int ch = 0; ch < SampleLineSplitter::FieldCount / 2; ++ch)
            samples.append(
                {ch, event.values[std::size_t(2 * ch)], event.values[std::size_t(2 * ch + 1)]});
        break;
    case SampleLineSplitter::Event::Malformed:
        qCDebug(lcPidLink) << event.text;
        emit linkError(tr("数据格式错误，接收失败"));
        break;
    case SampleLineSplitter::Event::Overlong:
        qCDebug(lcPidLink) << "text without a line end dropped after"
                           << SampleLineSplitter::MaxLineLength << "characters";
        emit linkError(tr("数据格式错误，接收失败"));
        break;
    }
}
