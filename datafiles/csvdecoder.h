#pragma once

#include "datafiles/csvcodec.h"

#include <QByteArray>
#include <QVector>

// Reads the chart's data file in slices, so an import can hand the event loop back between
// them: feed the file's bytes in pieces of any size, get the rows of the lines they complete.
// Holds at most one unfinished line (up to CsvCodec::MaxLineBytes), whatever the file's size.
// Which lines are rows is CsvCodec's rule.
class CsvDecoder
{
public:
    enum class Status {
        Ok,
        TooLarge,   // more than CsvCodec::MaxFileBytes were fed
        TooManyRows // a row beyond the limit; the rows before it were delivered
    };

    // At most `maxRows` rows: the chart's capacity unless a caller needs less.
    explicit CsvDecoder(quint32 maxRows = CsvCodec::MaxRows) : rowLimit(maxRows) {}

    // Appends the rows of the lines `data` completes to `rows`; a line cut at the end waits
    // for the next piece. False once a limit is broken; later calls then do nothing.
    bool feed(const char *data, qint64 size, QVector<CsvCodec::Row> &rows);
    bool feed(const QByteArray &bytes, QVector<CsvCodec::Row> &rows)
    {
        return feed(bytes.constData(), bytes.size(), rows);
    }
    // The file ended: its last line, when nothing ended it.
    bool finish(QVector<CsvCodec::Row> &rows);

    Status status() const { return state; }
    qint64 rowCount() const { return rowsTaken; }
    // Lines that held something but no row (see CsvCodec).
    qint64 skippedLines() const { return skipped; }
    // Every line, blank and skipped ones included.
    qint64 lineCount() const { return lines; }
    qint64 bytesFed() const { return fed; }

private:
    void takeLine(const char *begin, const char *end, QVector<CsvCodec::Row> &rows);
    void holdPartial(const char *begin, const char *end);

    QByteArray pending;    // the start of a line the last piece cut off
    bool overlong = false; // that line is longer than MaxLineBytes: skipped, not held
    bool afterCr = false;  // the last piece ended with CR: an LF opening the next is its pair
    quint32 rowLimit;
    Status state = Status::Ok;
    qint64 rowsTaken = 0;
    qint64 skipped = 0;
    qint64 lines = 0;
    qint64 fed = 0;
};
