#pragma once

#include <QByteArray>
#include <QVector>

// A recording: every sample of every channel as it arrived, one CSV row each after a header
// row, time_ms,channel,actual,target. time_ms counts milliseconds from the start of the
// recording, channel is 1 to 4, the values are written as the export writes them. Rows end
// with LF. No widgets here: rows out, bytes in.
class RecordingCodec
{
public:
    // The header row, without its line end.
    static constexpr const char *Header = "time_ms,channel,actual,target";

    struct Sample
    {
        qint64 timeMs;
        int channel; // 0..3
        float actual;
        float target;
    };

    struct Decoded
    {
        // Every line after the header, empty and damaged ones included.
        int lineCount = 0;
        // Lines that are not a sample: wrong field count, channel, time or number; and a
        // last line without its line end, which a recording cut short leaves.
        int skipped = 0;
        // In file order, so each channel's samples keep theirs.
        QVector<Sample> samples;
    };

    static QByteArray headerLine() { return QByteArray(Header) + '\n'; }
    // channel 0..3
    static void appendRow(QByteArray &out, qint64 timeMs, int channel, float actual, float target);

    // True when the bytes start with the header row (a UTF-8 byte order mark, a CR before the
    // line end and blanks around the names allowed).
    static bool isRecording(const QByteArray &bytes);
    // The samples of a recording; an empty result when the header is missing.
    static Decoded decode(const QByteArray &bytes);
    // One line without its end; false when it is not a sample.
    static bool parseRow(const char *begin, const char *end, Sample &sample);
};
