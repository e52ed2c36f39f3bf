#include "pidlink/framereceiver.h"

#include "pidlink/pidframe.h"

void FrameReceiver::feed(const char *data, int size, std::vector<Event> &out)
{
    if (size > 0)
        buffer.insert(buffer.end(), data, data + size);

    const char *bytes = buffer.data();
    const std::size_t end = buffer.size();
    std::size_t pos = 0;
    while (pos < end) {
        const unsigned char front = static_cast<unsigned char>(bytes[pos]);
        if (!isFrameKind(front)) {
            dropByte(front, false);
            ++pos;
            continue;
        }
        if (end - pos < std::size_t(FrameSize))
            break; // too few bytes to tell: wait for the rest
        const char *frame = bytes + pos;
        if (static_cast<unsigned char>(frame[9]) != frameEnd()) {
            dropByte(front, true);
            ++pos;
            continue;
        }

        reportDropped(out);
        dropping = false;
        ++counters.frames;
        Event event;
        if (front == CommandKind) {
            event.type = Event::Command;
            event.op = static_cast<unsigned char>(frame[1]);
            event.dir = static_cast<unsigned char>(frame[2]);
            event.channel = static_cast<unsigned char>(frame[3]);
            event.value = commandValue(frame);
        } else {
            event.type = Event::Sample;
            event.channel = static_cast<unsigned char>(front - '0');
            event.actual = sampleValue(frame, 1);
            event.target = sampleValue(frame, 2);
        }
        out.push_back(event);
        pos += FrameSize;
    }
    reportDropped(out);

    // What is left is shorter than a frame, so moving it to the front is cheap.
    buffer.erase(buffer.begin(), buffer.begin() + std::ptrdiff_t(pos));
}

void FrameReceiver::discardPending()
{
    buffer.clear();
    dropping = false;
    droppedUnreported = 0;
}

void FrameReceiver::dropByte(unsigned char front, bool completeFrame)
{
    if (!dropping) {
        dropping = true;
        ++counters.resyncs;
        // A good kind byte with a bad end means a frame was damaged; anything else is noise
        // or a stream joined mid-frame.
        dropType =
            completeFrame && isFrameKind(front) ? Event::TerminatorError : Event::HeaderError;
    }
    ++droppedUnreported;
    ++counters.discarded;
}

void FrameReceiver::reportDropped(std::vector<Event> &out)
{
    if (droppedUnreported == 0)
        return;
    Event event;
    event.type = dropType;
    event.discarded = droppedUnreported;
    out.push_back(event);
    droppedUnreported = 0;
}
