#include "datafiles/recordingcodec.h"

#include "datafiles/csvcodec.h"

#include <algorithm>
#include <cstring>

namespace {

const char *skipByteOrderMark(const QByteArray &bytes)
{
    return bytes.constData() + (bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0);
}

// The end of the line starting at `from`, and where the next one starts (`end` if none).
const char *lineEnd(const char *from, const char *end, const char **next)
{
    const char *lf = static_cast<const char *>(std::memchr(from, '\n', size_t(end - from)));
    *next = lf ? lf + 1 : end;
    const char *stop = lf ? lf : end;
    if (stop > from && stop[-1] == '\r')
        --stop;
    return stop;
}

// A field without the blanks around it, as QByteArray::trimmed() takes them. Not trimmed():
// on raw data it may move the bytes in place, writing into the caller's file.
QByteArray field(const char *begin, int length)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const char *end = begin + length;
    while (begin < end && blank(*begin))
        ++begin;
    while (end > begin && blank(end[-1]))
        --end;
    return QByteArray::fromRawData(begin, int(end - begin));
}

bool isHeader(const char *begin, const char *end)
{
    QByteArray names;
    for (const char *p = begin; p < end; ++p) {
        if (*p != ' ' && *p != '\t')
            names += *p;
    }
    return names == RecordingCodec::Header;
}

} // namespace

void RecordingCodec::appendRow(QByteArray &out, qint64 timeMs, int channel, float actual,
                               float target)
{
    char digits[24];
    int n = 0;
    quint64 t = quint64(std::max<qint64>(timeMs, 0));
    do {
        digits[n++] = char('0' + t % 10);
        t /= 10;
    } while (t);
    while (n)
        out += digits[--n];
    out += ',';
    out += char('1' + channel);
    out += ',';
    CsvCodec::appendNumber(out, double(actual));
    out += ',';
    CsvCodec::appendNumber(out, double(target));
    out += '\n';
}

bool RecordingCodec::isRecording(const QByteArray &bytes)
{
    const char *begin = skipByteOrderMark(bytes);
    const char *end = bytes.constData() + bytes.size();
    const char *next = nullptr;
    const char *stop = lineEnd(begin, end, &next);
    return isHeader(begin, stop);
}

bool RecordingCodec::parseRow(const char *begin, const char *end, Sample &sample)
{
    const char *fields[4];
    int lengths[4];
    int count = 0;
    const char *start = begin;
    for (const char *p = begin;; ++p) {
        if (p == end || *p == ',') {
            if (count == 4)
                return false;
            fields[count] = start;
            lengths[count] = int(p - start);
            ++count;
            start = p + 1;
            if (p == end)
                break;
        }
    }
    if (count != 4)
        return false;
    bool ok = false;
    const qint64 time = field(fields[0], lengths[0]).toLongLong(&ok);
    if (!ok || time < 0)
        return false;
    const int channel = field(fields[1], lengths[1]).toInt(&ok);
    if (!ok || channel < 1 || channel > 4)
        return false;
    bool actualOk = false;
    bool targetOk = false;
    const float actual = field(fields[2], lengths[2]).toFloat(&actualOk);
    const float target = field(fields[3], lengths[3]).toFloat(&targetOk);
    if (!actualOk || !targetOk)
        return false;
    sample = {time, channel - 1, actual, target};
    return true;
}

RecordingCodec::Decoded RecordingCodec::decode(const QByteArray &bytes)
{
    Decoded result;
    const char *data = skipByteOrderMark(bytes);
    const char *const end = bytes.constData() + bytes.size();
    const char *next = nullptr;
    if (!isHeader(data, lineEnd(data, end, &next)))
        return result;
    data = next;
    // About 25 bytes a row.
    result.samples.reserve(int(std::min<qint64>((end - data) / 20, 1 << 24)));
    Sample sample{};
    while (data < end) {
        const char *stop = lineEnd(data, end, &next);
        ++result.lineCount;
        const bool complete = next > stop && next[-1] == '\n';
        if (stop == data && complete) {
            // An empty line.
        } else if (complete && parseRow(data, stop, sample)) {
            result.samples.append(sample);
        } else {
            ++result.skipped;
        }
        data = next;
    }
    return result;
}
