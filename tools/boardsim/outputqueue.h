#pragma once

#include <QByteArray>

#include <deque>

// What the board has to send and has not got onto the line yet. A frame or line counts as sent
// only when its last byte was written, so a report on exit is exact even when the line was
// full and took only part of a write.
class OutputQueue
{
public:
    enum Kind { DataFrame, TextLine, CommandFrame, Replayed, KindCount };

    void append(const QByteArray &bytes, Kind kind);

    bool isEmpty() const { return pendingBytes() == 0; }
    qint64 pendingBytes() const { return qint64(buffer.size()) - head; }
    const char *pendingData() const { return buffer.constData() + head; }
    qint64 pendingItems() const { return qint64(items.size()); }

    // The line took `count` bytes from the front.
    void consume(qint64 count);
    // Drops everything not yet sent (the peer went away); counted as discarded.
    void discard();

    quint64 sent(Kind kind) const { return sentCount[kind]; }
    quint64 bytesSent() const { return sentBytes; }
    quint64 itemsDiscarded() const { return discardedItems; }
    quint64 bytesDiscarded() const { return discardedBytes; }

private:
    struct Item
    {
        qint64 end; // position just past the item's last byte, counted from the very first byte
        Kind kind;
    };

    QByteArray buffer;
    qint64 head = 0;
    qint64 base = 0; // position of buffer[0] in the whole stream
    std::deque<Item> items;
    quint64 sentCount[KindCount] = {};
    quint64 sentBytes = 0;
    quint64 discardedItems = 0;
    quint64 discardedBytes = 0;
};
