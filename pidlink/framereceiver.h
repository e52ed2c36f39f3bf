#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Splits the board's byte stream into 10-byte frames, whatever the read boundaries. A frame
// is accepted when its first byte is '0'..'3' or 'C' and its tenth byte is 0x0A; while the
// front of the stream is not such a frame, one byte is dropped and the next position tried,
// so noise costs only the noise itself. No widgets here: events go to a caller-owned list.
class FrameReceiver
{
public:
    struct Event
    {
        enum Type : unsigned char {
            Sample,          // channel data frame: channel, actual, target
            Command,         // command frame: op, dir, channel, value
            HeaderError,     // dropped stretch that began with a byte that starts no frame
            TerminatorError, // dropped stretch that began with a frame lacking its 0x0A
        };
        Type type = Sample;
        unsigned char channel = 0;
        unsigned char op = 0;
        unsigned char dir = 0;
        float actual = 0.0f;
        float target = 0.0f;
        float value = 0.0f;
        int discarded = 0; // errors: bytes dropped in this stretch since the last report
    };

    struct Health
    {
        std::uint64_t frames = 0;    // valid frames, samples and commands
        std::uint64_t discarded = 0; // bytes dropped while looking for a frame
        std::uint64_t resyncs = 0;   // stretches of dropped bytes
    };

    // Appends the events of these bytes to `out` in stream order. A dropped stretch still open
    // at the end of the bytes is reported now and continued, with its type, by the next call.
    void feed(const char *data, int size, std::vector<Event> &out);
    void feed(const QByteArray &bytes, std::vector<Event> &out)
    {
        feed(bytes.constData(), bytes.size(), out);
    }

    // Bytes kept for the next call: the start of a frame, never more than 9.
    int pendingBytes() const { return int(buffer.size()); }
    // Forgets the start of a frame kept from a line that is gone (an adapter pulled out).
    void discardPending();

    const Health &health() const { return counters; }
    void resetHealth() { counters = Health(); }

    static bool isFrameKind(unsigned char byte)
    {
        return (byte >= '0' && byte <= '3') || byte == 'C';
    }

private:
    void dropByte(unsigned char front, bool completeFrame);
    void reportDropped(std::vector<Event> &out);

    std::vector<char> buffer; // unconsumed tail of the previous call, then this call's bytes
    Health counters;
    bool dropping = false; // inside a stretch of dropped bytes
    Event::Type dropType = Event::HeaderError;
    int droppedUnreported = 0;
};
