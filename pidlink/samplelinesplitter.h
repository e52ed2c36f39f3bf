#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace QtCompat {
class Utf8Decoder;
}

// String mode: splits the board's UTF-8 text into LF-terminated sample lines of eight
// comma-separated numbers (actual 1, target 1, ..., target 4). Every complete line is reported
// in order; a trailing part waits for its end. UTF-8 is decoded across read boundaries.
class SampleLineSplitter
{
public:
    static constexpr int FieldCount = 8;
    static constexpr int MaxLineLength = 4096; // characters before the LF

    struct Event
    {
        enum Type : unsigned char {
            Line,      // values holds the eight fields
            Malformed, // fewer than eight fields; text holds the line
            Overlong,  // more than MaxLineLength characters without an LF; the line is dropped
        };
        Type type = Line;
        std::array<float, FieldCount> values{};
        QString text;
    };

    struct Health
    {
        std::uint64_t lines = 0;     // lines with eight values
        std::uint64_t malformed = 0; // lines with too few fields
        std::uint64_t dropped = 0;   // characters of over-long lines
    };

    SampleLineSplitter();
    ~SampleLineSplitter();
    SampleLineSplitter(const SampleLineSplitter &) = delete;
    SampleLineSplitter &operator=(const SampleLineSplitter &) = delete;

    // Appends the events of these bytes to `out` in text order.
    void feed(const char *data, int size, std::vector<Event> &out);
    void feed(const QByteArray &bytes, std::vector<Event> &out)
    {
        feed(bytes.constData(), bytes.size(), out);
    }

    // Characters of the unfinished line kept for the next call.
    int pendingLength() const { return skipping ? 0 : partial.size(); }
    // Forgets the unfinished line, and any character cut in two, of a line that is gone.
    void discardPending();

    const Health &health() const { return counters; }
    void resetHealth() { counters = Health(); }

    // Parses one line (LF excluded) into `values`; false when it has fewer than eight fields.
    // Fields are C-locale numbers with white space around them ignored; an empty field or one
    // that is not a number gives 0, fields after the eighth are ignored.
    static bool parseLine(const QString &text, int from, int length,
                          std::array<float, FieldCount> &values);

private:
    void finishLine(const QString &text, int from, int length, std::vector<Event> &out);

    std::unique_ptr<QtCompat::Utf8Decoder> decoder;
    QString partial;       // the unfinished line
    bool skipping = false; // inside an over-long line, dropping up to its LF
    Health counters;
};
