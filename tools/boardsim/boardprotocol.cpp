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
    buffer += bytes;
    QByteArray replies;
    int pos = 0;
    const int size = int(buffer.size());
    while (size - pos >= FrameSize) {
        const char *p = buffer.constData() + pos;
        if (p[0] == CommandKind && static_cast<unsigned char>(p[9]) == frameEnd()) {
            handleFrame(p, replies);
            pos += FrameSize;
            continue;
        }
        // Not a frame here: resume at the next 'C'.
        const int next = buffer.indexOf(CommandKind, pos + 1);
        const int resume = next < 0 ? size : next;
        skipped += quint64(resume - pos);
        pos = resume;
    }
    // A tail that cannot begin a frame is noise as well.
    if (pos < size && buffer.at(pos) != CommandKind) {
        const int next = buffer.indexOf(CommandKind, pos + 1);
        const int resume = next < 0 ? size : next;
        skipped += quint64(resume - pos);
        pos = resume;
    }
    buffer.remove(0, pos);
    return replies;
}

void BoardProtocol::handleFrame(const char *frame, QByteArray &replies)
{
    const auto op = static_cast<unsigned char>(frame[1]);
    const auto dir = static_cast<unsigned char>(frame[2]);
    const auto channel = static_cast<unsigned char>(frame[3]);
    const float value = commandValue(frame);
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
