#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

#include <array>

class SampleStore;

// The chart's data file: one row per sample number, the eight series in chart order, every
// field followed by a comma, LF line ends. No widgets here: bytes in, rows out and back.
class CsvCodec
{
public:
    static constexpr int FieldCount = 8;
    // Larger files are refused: a file this size already yields millions of samples.
    static constexpr qint64 MaxImportBytes = 64 * 1024 * 1024;
    // The chart keeps 128 bytes per sample row, so cap what one import may add.
    static constexpr int MaxImportLines = 1000000;

    using Row = std::array<float, FieldCount>;

    enum class Status { Ok, TooLarge, TooManyLines };

    struct Decoded
    {
        Status status = Status::Ok;
        // Every line read, short and empty ones included (the import reports this number).
        int lineCount = 0;
        // One row per line with at least eight fields, in file order.
        QVector<Row> rows;
    };

    // Rows 0 .. N-1 with N the largest count; a series without point i gives the field "0".
    static QByteArray encode(const QVector<QVector<QPointF>> &points,
                             const QVector<quint32> &counts);

    // The same rows from what the chart's store holds, row i made of every series' i-th held
    // value, without copying the history: rows [from, to) of rowCount() are appended to `out`,
    // so a long history can be written out in blocks.
    static quint64 rowCount(const SampleStore &store);
    static void encodeRows(const SampleStore &store, quint64 from, quint64 to, QByteArray &out);

    // Lines end with LF or CR LF (a last line may lack its end). A line of fewer than eight
    // comma-separated fields is counted and skipped; a field that is not a number reads 0.
    static Decoded decode(const QByteArray &bytes);

    // Appends y exactly as QString::number(y, 'g', 6) writes it, several times faster.
    static void appendNumber(QByteArray &out, double y);

    // One line without its end; false when it has fewer than eight fields.
    static bool parseLine(const QString &line, Row &row);
};
