#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QPointF>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

class QIODevice;

// The chart's data file: one row per sample number, the eight series in chart order, every
// field followed by a comma, LF line ends. No widgets here: bytes in, rows out and back.
//
// Which lines are rows: a line ends at LF, CR LF or a lone CR. It is a row when its first
// eight comma-separated fields are all numbers; fields after the eighth are ignored. A number
// is a field that, without the blanks (space, tab) around it, reads as a decimal number:
// an optional sign, digits with an optional decimal point (at least one digit), an optional
// exponent ("e" or "E", an optional sign, digits); or "inf" with an optional sign, or "nan",
// in any case, as the export writes values that are not finite. Its value is what
// QString::toFloat gives: beyond the float range it reads as an infinity, below it as 0.
// Any other line holding something, empty fields and rows of commas included, is skipped and
// counted; blank lines (nothing but blanks) are neither rows nor skipped.
class CsvCodec
{
    Q_DECLARE_TR_FUNCTIONS(CsvCodec)

public:
    static constexpr int FieldCount = 8;
    using Row = std::array<float, FieldCount>;

    // The chart keeps at most this many samples per channel, so no export has more rows; an
    // import takes as many.
    static constexpr quint32 MaxRows = 10000000;
    // The longest row the export writes: eight fields of at most 13 characters
    // ("-1.23457e-300"), each followed by its comma, and the line end.
    static constexpr qint64 MaxRowBytes = FieldCount * 14 + 1;
    // The largest file the import reads: every file the export can write, so the tool always
    // reads back its own exports.
    static constexpr qint64 MaxFileBytes = qint64(1200) * 1024 * 1024;
    static_assert(MaxFileBytes >= qint64(MaxRows) * MaxRowBytes, "an export the import refuses");
    // No row the export writes comes near this; a longer line is skipped without being held.
    static constexpr int MaxLineBytes = 64 * 1024;

    // y of point `index` of chart series `series` (0 to 7); asked only below that series'
    // length.
    using SeriesValue = std::function<double(int series, quint32 index)>;
    using SeriesLengths = std::array<quint32, FieldCount>;

    // Rows 0 .. N-1 with N the largest count; a series without point i gives the field "0".
    static QByteArray encode(const QVector<QVector<QPointF>> &points,
                             const QVector<quint32> &counts);

    // Rows `first` .. `end` - 1 of a chart whose series hold `lengths` points, written to
    // `out` in blocks of about 64 KiB: the bytes encode() gives for those rows, in constant
    // memory. False when the device refused a write.
    static bool writeRows(QIODevice &out, quint32 first, quint32 end, const SeriesLengths &lengths,
                          const SeriesValue &value);
    // The whole of encode()'s file, written as writeRows does.
    static bool write(QIODevice &out, const QVector<QVector<QPointF>> &points,
                      const QVector<quint32> &counts);
    // Rows of the file for series of these lengths: the longest.
    static quint32 rowCount(const SeriesLengths &lengths);
    // Null when a file of `rows` rows may be written, otherwise why not
    // ("数据过多（超过10000000行）"): the import would refuse it.
    static QString exportRefusal(quint64 rows);

    // Appends y exactly as QString::number(y, 'g', 6) writes it, several times faster.
    static void appendNumber(QByteArray &out, double y);

    // One line without its end; false when it is not a row.
    static bool parseLine(const char *line, int length, Row &row);
    // One field, blanks around it included; false when it is not a number.
    static bool parseNumber(const char *text, int length, float &value);
};
