#pragma once

#include <QByteArray>
#include <QStringList>

class BoardSimulator;

// The board's end of the PID link: takes whatever bytes arrive, finds the program's 10-byte
// command frames in them and acts on the simulator. Read requests for P, I, D, target and
// actual are answered with a value frame for the channel asked about; value frames set that
// channel's parameter; start and stop switch the stream. Bytes that do not form a frame are
// skipped until the next 'C' that begins one, so the link recovers from noise and from a
// stream joined mid-frame.
class BoardProtocol
{
public:
    explicit BoardProtocol(BoardSimulator &board);

    // Handles every complete frame in `bytes` (after what an earlier call left over) and
    // returns the reply frames to send, in order.
    QByteArray feed(const QByteArray &bytes);

    quint64 framesHandled() const { return handled; }
    quint64 framesIgnored() const { return ignored; }
    quint64 bytesSkipped() const { return skipped; }
    int bytesWaiting() const { return int(buffer.size()); }

    // A line per frame handled since the last call, for a verbose log.
    QStringList takeNotes();

private:
    void handleFrame(const char *frame, QByteArray &replies);

    BoardSimulator &sim;
    QByteArray buffer;
    QStringList notes;
    quint64 handled = 0;
    quint64 ignored = 0;
    quint64 skipped = 0;
};
