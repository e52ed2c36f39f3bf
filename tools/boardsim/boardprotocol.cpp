#include "tools/boardsim/boardprotocol.h"

#include "pidlink/pidframe.h"
#include "tools/boardsim/boardsimulator.h"

namespace {
const char *operationName(unsigned char op)
{
    switch (op) {
    case CmdP:
        return "P";
    case CmdI:
        return "I";
    case CmdD:
        return "D";
    case CmdTarget:
        return "target";
    case CmdActual:
        return "actual";
    case CmdStart:
        return "start";
    case CmdStop:
        return "stop";
    default:
        return "unknown";
    }
}

QString channelText(unsigned char channel)
{
    return QStringLiteral("CH%1").arg(int(channel) + 1);
}
} // namespace

BoardProtocol::BoardProtocol(BoardSimulator &board) : sim(board) {}

QStringList BoardProtocol::takeNotes()
{
    QStringList out;
    out.swap(notes);
    return out;
}

QByteArray BoardProtocol::feed(const QByteArray &bytes)
{
    events.clear();
    receiver.feed(bytes, events);
    QByteArray replies;
    for (const FrameReceiver::Event &event : events) {
        if (event.type == FrameReceiver::Event::Command) {
            handleCommand(event, replies);
        } else if (event.type == FrameReceiver::Event::Sample) {
            ++handled;
            ++ignored;
            notes << QStringLiteral("ignored channel data frame of %1")
                         .arg(channelText(event.channel));
        }
    }
    return replies;
}

void BoardProtocol::handleCommand(const FrameReceiver::Event &frame, QByteArray &replies)
{
    const unsigned char op = frame.op;
    const unsigned char dir = frame.dir;
    const unsigned char channel = frame.channel;
    const float value = frame.value;
    ++handled;

    if (op == CmdStart || op == CmdStop) {
        // Like the program, the direction of a run command is not examined.
        if (op == CmdStart)
            sim.start();
        else
            sim.stop();
        notes << QStringLiteral("%1 command").arg(QLatin1String(operationName(op)));
        return;
    }

    if (dir == DirRead) {
        float current = 0.0f;
        if (!sim.value(op, channel, &current)) {
            ++ignored;
            notes << QStringLiteral("ignored read request: operation %1, channel byte %2")
                         .arg(op)
                         .arg(channel);
            return;
        }
        char reply[FrameSize];
        buildCommandFrame(reply, op, DirWrite, channel, 0, current);
        replies.append(reply, FrameSize);
        notes << QStringLiteral("read %1 of %2: answered %3")
                     .arg(QLatin1String(operationName(op)), channelText(channel))
                     .arg(double(current), 0, 'g', 7);
        return;
    }

    // Any nonzero direction carries a value.
    if (!sim.setValue(op, channel, value)) {
        ++ignored;
        notes << QStringLiteral("ignored value frame: operation %1, channel byte %2")
                     .arg(op)
                     .arg(channel);
        return;
    }
    notes << QStringLiteral("%1 of %2 set to %3")
                 .arg(QLatin1String(operationName(op)), channelText(channel))
                 .arg(double(value), 0, 'g', 7);
}
