#include "pidlink/samplelinesplitter.h"

#include "base/qtcompat.h"

SampleLineSplitter::SampleLineSplitter() : decoder(std::make_unique<QtCompat::Utf8Decoder>()) {}

SampleLineSplitter::~SampleLineSplitter() = default;

void SampleLineSplitter::feed(const char *data, int size, std::vector<Event> &out)
{
    if (size <= 0)
        return;
    const QString text = decoder->decode(data, size);
    const int end = text.size();
    int start = 0;
    while (start < end) {
        const int lf = text.indexOf(QLatin1Char('\n'), start);
        const int stop = lf < 0 ? end : lf;
        const int length = stop - start;

        if (skipping) {
            counters.dropped += std::uint64_t(length);
        } else if (partial.size() + length > MaxLineLength) {
            // Report once, as soon as the line is too long, whatever the read boundaries.
            counters.dropped += std::uint64_t(partial.size() + length);
            partial.clear();
            skipping = true;
            Event event;
            event.type = Event::Overlong;
            out.push_back(std::move(event));
        } else if (lf < 0) {
            partial.append(text.constData() + start, length);
        } else if (partial.isEmpty()) {
            finishLine(text, start, length, out);
        } else {
            partial.append(text.constData() + start, length);
            finishLine(partial, 0, partial.size(), out);
            partial.resize(0);
        }

        if (lf < 0)
            break;
        skipping = false;
        start = lf + 1;
    }
}

void SampleLineSplitter::discardPending()
{
    partial.clear();
    skipping = false;
    decoder->reset();
}

void SampleLineSplitter::finishLine(const QString &text, int from, int length,
                                    std::vector<Event> &out)
{
    Event event;
    if (parseLine(text, from, length, event.values)) {
        ++counters.lines;
    } else {
        ++counters.malformed;
        event.type = Event::Malformed;
        event.text = text.mid(from, length);
    }
    out.push_back(std::move(event));
}

bool SampleLineSplitter::parseLine(const QString &text, int from, int length,
                                   std::array<float, FieldCount> &values)
{
    const int end = from + length;
    int fieldStart = from;
    int field = 0;
    for (int i = from; i <= end && field < FieldCount; ++i) {
        if (i < end && text.at(i) != QLatin1Char(','))
            continue;
        bool ok = false;
        const float value = QStringView(text).mid(fieldStart, i - fieldStart).toFloat(&ok);
        values[std::size_t(field)] = ok ? value : 0.0f;
        ++field;
        fieldStart = i + 1;
    }
    return field == FieldCount;
}
