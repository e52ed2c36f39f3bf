#include "datafiles/csvdecoder.h"

#include <cstring>

namespace {

// The first CR or LF in [begin, end), or null.
const char *lineEnd(const char *begin, const char *end)
{
    const auto *lf = static_cast<const char *>(std::memchr(begin, '\n', size_t(end - begin)));
    const char *stop = lf ? lf : end;
    const auto *cr = static_cast<const char *>(std::memchr(begin, '\r', size_t(stop - begin)));
    return cr ? cr : lf;
}

bool isBlankLine(const char *begin, const char *end)
{
    for (; begin < end; ++begin) {
        if (*begin != ' ' && *begin != '\t' && *begin != '\v' && *begin != '\f')
            return false;
    }
    return true;
}

} // namespace

bool CsvDecoder::feed(const char *data, qint64 size, QVector<CsvCodec::Row> &rows)
{
    if (state != Status::Ok)
        return false;
    fed += size;
    if (fed > CsvCodec::MaxFileBytes) {
        state = Status::TooLarge;
        return false;
    }
    const char *p = data;
    const char *const end = data + size;
    if (afterCr && p < end) {
        afterCr = false;
        if (*p == '\n')
            ++p;
    }
    while (p < end && state == Status::Ok) {
        const char *eol = lineEnd(p, end);
        if (!eol) {
            holdPartial(p, end);
            break;
        }
        if (pending.isEmpty() && !overlong) {
            takeLine(p, eol, rows);
        } else {
            holdPartial(p, eol);
            takeLine(pending.constData(), pending.constData() + pending.size(), rows);
            pending.resize(0);
        }
        p = eol + 1;
        if (*eol == '\r') {
            if (p == end)
                afterCr = true;
            else if (*p == '\n')
                ++p;
        }
    }
    return state == Status::Ok;
}

bool CsvDecoder::finish(QVector<CsvCodec::Row> &rows)
{
    afterCr = false;
    // A file of nothing but a byte order mark has no line.
    if (lines == 0 && pending == QByteArray("\xEF\xBB\xBF"))
        pending.clear();
    if (state == Status::Ok && (!pending.isEmpty() || overlong)) {
        takeLine(pending.constData(), pending.constData() + pending.size(), rows);
        pending.resize(0);
    }
    return state == Status::Ok;
}

void CsvDecoder::holdPartial(const char *begin, const char *end)
{
    if (overlong)
        return;
    if (pending.size() + (end - begin) > CsvCodec::MaxLineBytes) {
        overlong = true;
        pending.clear();
        return;
    }
    pending.append(begin, int(end - begin));
}

void CsvDecoder::takeLine(const char *begin, const char *end, QVector<CsvCodec::Row> &rows)
{
    ++lines;
    if (overlong || end - begin > CsvCodec::MaxLineBytes) {
        overlong = false;
        ++skipped;
        return;
    }
    // Editors on some systems put a UTF-8 byte order mark in front of the file.
    if (lines == 1 && end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
        begin += 3;
    if (isBlankLine(begin, end))
        return;
    CsvCodec::Row row;
    if (!CsvCodec::parseLine(begin, int(end - begin), row)) {
        ++skipped;
        return;
    }
    if (rowsTaken == qint64(rowLimit)) {
        state = Status::TooManyRows;
        return;
    }
    rows.append(row);
    ++rowsTaken;
}
