// The board's bytes, cut into reads anywhere: binary frames through FrameReceiver, text lines
// through SampleLineSplitter. Input: byte 0 picks the mode (bit 0, set for string mode) and
// how many read sizes follow (bits 1..4); those bytes are the sizes of successive reads,
// used in turn; the rest is the stream.
#include "base/qtcompat.h"
#include "fuzz/fuzzcheck.h"
#include "pidlink/framereceiver.h"
#include "pidlink/pidframe.h"
#include "pidlink/samplelinesplitter.h"

#include <QString>
#include <QStringList>

#include <cstring>
#include <vector>

namespace {

struct Reads
{
    std::vector<int> sizes;
    std::size_t next = 0;

    // The next read's size; 0 is an empty read (a readyRead with nothing left to take).
    int take(std::size_t left)
    {
        if (sizes.empty())
            return int(left);
        const int size = sizes[next++ % sizes.size()];
        return size < int(left) ? size : int(left);
    }
};

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct ReferenceScan
{
    std::vector<std::size_t> framesAt;
    std::uint64_t discarded = 0;
    std::uint64_t resyncs = 0;
    std::size_t pending = 0;
};

// The resync rule written as plainly as possible over the whole stream at once.
ReferenceScan referenceScan(const unsigned char *s, std::size_t n)
{
    ReferenceScan r;
    bool dropping = false;
    std::size_t p = 0;
    while (p < n) {
        const bool kind = FrameReceiver::isFrameKind(s[p]);
        if (kind && n - p < std::size_t(FrameSize))
            break;
        if (kind && s[p + 9] == 0x0A) {
            r.framesAt.push_back(p);
            dropping = false;
            p += FrameSize;
            continue;
        }
        if (!dropping)
            ++r.resyncs;
        dropping = true;
        ++r.discarded;
        ++p;
    }
    r.pending = n - p;
    return r;
}

void checkBinary(const unsigned char *s, std::size_t n, Reads reads)
{
    FrameReceiver receiver;
    std::vector<FrameReceiver::Event> events;
    std::vector<FrameReceiver::Event> all;
    std::size_t fed = 0;
    int emptyReads = 0;
    while (fed < n && emptyReads < 64) {
        const int size = reads.take(n - fed);
        emptyReads = size == 0 ? emptyReads + 1 : 0;
        events.clear();
        receiver.feed(reinterpret_cast<const char *>(s + fed), size, events);
        fed += std::size_t(size);
        all.insert(all.end(), events.begin(), events.end());

        const FrameReceiver::Health &h = receiver.health();
        FUZZ_CHECK(receiver.pendingBytes() >= 0 && receiver.pendingBytes() < FrameSize);
        FUZZ_CHECK(h.frames * FrameSize + h.discarded + std::uint64_t(receiver.pendingBytes()) ==
                   fed);
    }
    if (fed < n) { // only empty reads were left: take the rest in one
        events.clear();
        receiver.feed(reinterpret_cast<const char *>(s + fed), int(n - fed), events);
        all.insert(all.end(), events.begin(), events.end());
        fed = n;
    }

    // Walk the events along the stream: each frame must be a valid frame at that place, each
    // dropped byte one that starts no frame.
    std::size_t p = 0;
    std::vector<std::size_t> framesAt;
    std::uint64_t discarded = 0;
    bool inStretch = false;
    FrameReceiver::Event::Type stretchType = FrameReceiver::Event::HeaderError;
    for (const FrameReceiver::Event &e : all) {
        if (e.type == FrameReceiver::Event::HeaderError ||
            e.type == FrameReceiver::Event::TerminatorError) {
            FUZZ_CHECK(e.discarded > 0);
            FUZZ_CHECK(p + std::size_t(e.discarded) <= n);
            if (!inStretch) {
                // A damaged frame (good first byte, bad end) or anything else.
                const bool damagedFrame = FrameReceiver::isFrameKind(s[p]);
                FUZZ_CHECK(e.type == (damagedFrame ? FrameReceiver::Event::TerminatorError
                                                   : FrameReceiver::Event::HeaderError));
                stretchType = e.type;
                inStretch = true;
            }
            FUZZ_CHECK(e.type == stretchType);
            for (int i = 0; i < e.discarded; ++i, ++p) {
                if (FrameReceiver::isFrameKind(s[p])) {
                    FUZZ_CHECK(p + 9 < n);
                    FUZZ_CHECK(s[p + 9] != 0x0A);
                }
            }
            discarded += std::uint64_t(e.discarded);
            continue;
        }
        inStretch = false;
        FUZZ_CHECK(p + FrameSize <= n);
        const char *frame = reinterpret_cast<const char *>(s + p);
        FUZZ_CHECK(s[p + 9] == 0x0A);
        if (e.type == FrameReceiver::Event::Command) {
            FUZZ_CHECK(s[p] == 'C');
            FUZZ_CHECK(e.op == s[p + 1] && e.dir == s[p + 2] && e.channel == s[p + 3]);
            FUZZ_CHECK(sameBits(e.value, commandValue(frame)));
        } else {
            FUZZ_CHECK(e.type == FrameReceiver::Event::Sample);
            FUZZ_CHECK(s[p] >= '0' && s[p] <= '3');
            FUZZ_CHECK(e.channel == s[p] - '0');
            FUZZ_CHECK(sameBits(e.actual, sampleValue(frame, 1)));
            FUZZ_CHECK(sameBits(e.target, sampleValue(frame, 2)));
        }
        framesAt.push_back(p);
        p += FrameSize;
    }

    const FrameReceiver::Health &h = receiver.health();
    FUZZ_CHECK(p + std::size_t(receiver.pendingBytes()) == n);
    FUZZ_CHECK(receiver.pendingBytes() == 0 || FrameReceiver::isFrameKind(s[p]));
    FUZZ_CHECK(h.frames == framesAt.size());
    FUZZ_CHECK(h.discarded == discarded);

    // Read boundaries change nothing.
    const ReferenceScan r = referenceScan(s, n);
    FUZZ_CHECK(framesAt == r.framesAt);
    FUZZ_CHECK(h.discarded == r.discarded);
    FUZZ_CHECK(h.resyncs == r.resyncs);
    FUZZ_CHECK(std::size_t(receiver.pendingBytes()) == r.pending);
}

void referenceLine(const QString &line, std::vector<SampleLineSplitter::Event> &out)
{
    SampleLineSplitter::Event e;
    if (line.size() > SampleLineSplitter::MaxLineLength) {
        e.type = SampleLineSplitter::Event::Overlong;
        out.push_back(e);
        return;
    }
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() < SampleLineSplitter::FieldCount) {
        e.type = SampleLineSplitter::Event::Malformed;
        e.text = line;
        out.push_back(e);
        return;
    }
    for (int i = 0; i < SampleLineSplitter::FieldCount; ++i) {
        bool ok = false;
        const float value = parts.at(i).toFloat(&ok);
        e.values[std::size_t(i)] = ok ? value : 0.0f;
    }
    out.push_back(e);
}

void checkText(const unsigned char *s, std::size_t n, Reads reads)
{
    SampleLineSplitter splitter;
    std::vector<SampleLineSplitter::Event> events;
    std::vector<SampleLineSplitter::Event> all;
    // Qt's UTF-8 decoder may write a different number of replacement characters for broken
    // UTF-8 depending on where reads cut it, so the reference decodes the same reads; valid
    // UTF-8 must decode the same whatever the cuts (checked below).
    QtCompat::Utf8Decoder decoder;
    QString text;
    std::size_t fed = 0;
    int emptyReads = 0;
    while (fed < n) {
        int size = reads.take(n - fed);
        emptyReads = size == 0 ? emptyReads + 1 : 0;
        if (emptyReads >= 64)
            size = int(n - fed);
        events.clear();
        const char *bytes = reinterpret_cast<const char *>(s + fed);
        splitter.feed(bytes, size, events);
        if (size > 0) // an empty call would upset the decoder's state, as in the splitter
            text += decoder.decode(bytes, size);
        fed += std::size_t(size);
        for (SampleLineSplitter::Event &e : events)
            all.push_back(std::move(e));
        FUZZ_CHECK(splitter.pendingLength() >= 0 &&
                   splitter.pendingLength() <= SampleLineSplitter::MaxLineLength);
    }

    const char *stream = reinterpret_cast<const char *>(s);
    if (QtCompat::isValidUtf8(stream, int(n)))
        FUZZ_CHECK(text == QtCompat::Utf8Decoder().decode(stream, int(n)));

    // The text split at every LF in one go.
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::vector<SampleLineSplitter::Event> expected;
    std::uint64_t dropped = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const bool overlong = line.size() > SampleLineSplitter::MaxLineLength;
        if (overlong)
            dropped += std::uint64_t(line.size());
        if (i + 1 < lines.size() || overlong)
            referenceLine(line, expected);
    }
    const QString &last = lines.constLast();
    const int pending = last.size() > SampleLineSplitter::MaxLineLength ? 0 : last.size();

    FUZZ_CHECK(all.size() == expected.size());
    std::uint64_t good = 0;
    std::uint64_t malformed = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        FUZZ_CHECK(all[i].type == expected[i].type);
        switch (all[i].type) {
        case SampleLineSplitter::Event::Line:
            ++good;
            for (std::size_t f = 0; f < all[i].values.size(); ++f)
                FUZZ_CHECK(sameBits(all[i].values[f], expected[i].values[f]));
            break;
        case SampleLineSplitter::Event::Malformed:
            ++malformed;
            if (all[i].text != expected[i].text)
                std::fprintf(stderr, "line %zu reported as %s, read in one go %s\n", i,
                             QByteArray(reinterpret_cast<const char *>(all[i].text.utf16()),
                                        all[i].text.size() * 2)
                                 .toHex(' ')
                                 .constData(),
                             QByteArray(reinterpret_cast<const char *>(expected[i].text.utf16()),
                                        expected[i].text.size() * 2)
                                 .toHex(' ')
                                 .constData());
            FUZZ_CHECK(all[i].text == expected[i].text);
            break;
        case SampleLineSplitter::Event::Overlong:
            break;
        }
    }
    const SampleLineSplitter::Health &h = splitter.health();
    FUZZ_CHECK(h.lines == good);
    FUZZ_CHECK(h.malformed == malformed);
    FUZZ_CHECK(h.dropped == dropped);
    FUZZ_CHECK(splitter.pendingLength() == pending);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool stringMode = (data[0] & 1) != 0;
    std::size_t cutCount = (data[0] >> 1) & 0x0F;
    if (cutCount > size - 1)
        cutCount = size - 1;
    Reads reads;
    for (std::size_t i = 0; i < cutCount; ++i)
        reads.sizes.push_back(data[1 + i]);
    const unsigned char *stream = data + 1 + cutCount;
    const std::size_t length = size - 1 - cutCount;
    if (stringMode)
        checkText(stream, length, reads);
    else
        checkBinary(stream, length, reads);
    return 0;
}
