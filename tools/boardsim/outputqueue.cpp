#include "tools/boardsim/outputqueue.h"

#include <algorithm>

void OutputQueue::append(const QByteArray &bytes, Kind kind)
{
    if (bytes.isEmpty())
        return;
    buffer += bytes;
    items.push_back({base + qint64(buffer.size()), kind});
}

void OutputQueue::consume(qint64 count)
{
    count = std::clamp<qint64>(count, 0, pendingBytes());
    head += count;
    sentBytes += quint64(count);
    const qint64 position = base + head;
    while (!items.empty() && items.front().end <= position) {
        ++sentCount[items.front().kind];
        items.pop_front();
    }
    // Compact now and then rather than moving the tail on every partial write.
    if (head == qint64(buffer.size()) || head > 65536) {
        buffer.remove(0, int(head));
        base += head;
        head = 0;
    }
}

void OutputQueue::discard()
{
    discardedItems += quint64(items.size());
    discardedBytes += quint64(pendingBytes());
    items.clear();
    base += qint64(buffer.size());
    buffer.clear();
    head = 0;
}
