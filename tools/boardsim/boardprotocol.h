#pragma once

#include "pidlink/framereceiver.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

class BoardSimulator;

// The board's end of the PID link: takes whatever bytes arrive, finds the program's 10-byte
// command frames in them and acts on the simulator. Read requests for P, I, D, target and
// actual are answered with a value frame for the channel asked about; value frames set that
// channel's parameter; start and stop switch the stream. Frames are found by the program's own
// FrameReceiver, so both ends of the link resynchronise by the same rule after noise or a
// stream joined mid-frame; channel data frames, which only a board sends, are ignored.
class BoardProtocol
{
public:
    explicit BoardProtocol(BoardSimulator &board);

    // Handles every complete frame in `bytes` (after what an earlier call left over) and
    // returns the reply frames to send, in order.
    QByteArray feed(const QByteArray &bytes);

    quint64 framesHandled() const { return handled; }
    quint64 framesIgnored() const { return ignored; }
    quint64 bytesSkipped() const { return receiver.health().discarded; }
    int bytesWaiting() const { return receiver.pendingBytes(); }

    // A line per frame handled since the last call, for a verbose log.
    QStringList takeNotes();

private:
    void handleCommand(const FrameReceiver::Event &frame, QByteArray &replies);

    BoardSimulator &sim;
    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events; // reused by every call
    QStringList notes;
    quint64 handled = 0;
    quint64 ignored = 0;
};
