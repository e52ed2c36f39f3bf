// The CSV data file. Byte 0 even: the rest is a file for the import, whose lines are checked
// against a plain split of the bytes and a regular expression for numbers, whole and fed to
// the slice decoder in pieces of (byte 0 / 2 + 1) bytes. Byte 0 odd: the rest is a series of
// values (floats and doubles in turn) for the export's number writer, which must write exactly
// what Qt writes, and whose file must read back as those numbers, streamed or built whole.
#include "datafiles/csvcodec.h"
#include "datafiles/csvdecoder.h"
#include "fuzz/fuzzcheck.h"

#include <QBuffer>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// QString::fromLatin1(const QByteArray &) would stop at a zero byte.
QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.constData(), bytes.size());
}

QByteArray withoutBlanks(QByteArray field)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!field.isEmpty() && blank(field.front()))
        field.remove(0, 1);
    while (!field.isEmpty() && blank(field.back()))
        field.chop(1);
    return field;
}

struct Decoded
{
    qint64 lineCount = 0;
    qint64 skippedLines = 0;
    QVector<CsvCodec::Row> rows;
};

// The file fed to the slice decoder in pieces of `piece` bytes.
Decoded decode(const QByteArray &bytes, int piece)
{
    CsvDecoder decoder;
    Decoded decoded;
    for (int at = 0; at < bytes.size(); at += piece)
        FUZZ_CHECK(decoder.feed(bytes.mid(at, piece), decoded.rows));
    FUZZ_CHECK(decoder.finish(decoded.rows));
    decoded.lineCount = decoder.lineCount();
    decoded.skippedLines = decoder.skippedLines();
    return decoded;
}

void checkImport(const char *data, std::size_t size, int piece)
{
    QByteArray bytes(data, int(size));
    const Decoded decoded = decode(bytes, std::max(1, int(bytes.size())));

    // The same rows whatever the pieces.
    const Decoded sliced = decode(bytes, piece);
    FUZZ_CHECK(sliced.lineCount == decoded.lineCount);
    FUZZ_CHECK(sliced.skippedLines == decoded.skippedLines);
    FUZZ_CHECK(sliced.rows.size() == decoded.rows.size());
    for (int r = 0; r < sliced.rows.size(); ++r)
        for (std::size_t f = 0; f < CsvCodec::FieldCount; ++f)
            FUZZ_CHECK(sameBits(sliced.rows[r][f], decoded.rows[r][f]));

    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // Lines end at LF, CR LF or CR; a last line end starts no empty line.
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    FUZZ_CHECK(decoded.lineCount == lines.size());

    const QRegularExpression number(QStringLiteral(
        "^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$|^[+-]?(?i:inf)$|^(?i:nan)$"));
    int rowIndex = 0;
    int skipped = 0;
    for (const QByteArray &line : lines) {
        if (withoutBlanks(line).isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(',');
        bool isRow = fields.size() >= CsvCodec::FieldCount && line.size() <= CsvCodec::MaxLineBytes;
        for (int f = 0; isRow && f < CsvCodec::FieldCount; ++f)
            isRow = number.match(latin1(withoutBlanks(fields.at(f)))).hasMatch();
        if (!isRow) {
            ++skipped;
            continue;
        }
        FUZZ_CHECK(rowIndex < decoded.rows.size());
        const CsvCodec::Row &row = decoded.rows.at(rowIndex++);
        for (int f = 0; f < CsvCodec::FieldCount; ++f)
            FUZZ_CHECK(
                sameBits(row[std::size_t(f)], latin1(fields.at(f)).toFloat()) ||
                (std::isnan(row[std::size_t(f)]) && std::isnan(latin1(fields.at(f)).toFloat())));
    }
    FUZZ_CHECK(rowIndex == decoded.rows.size());
    FUZZ_CHECK(skipped == decoded.skippedLines);
}

void checkNumbers(const unsigned char *data, std::size_t size)
{
    std::vector<double> values;
    bool asFloat = true;
    for (std::size_t at = 0;;) {
        if (asFloat && size - at >= sizeof(float)) {
            float f;
            std::memcpy(&f, data + at, sizeof f);
            values.push_back(double(f));
            at += sizeof f;
        } else if (!asFloat && size - at >= sizeof(double)) {
            double d;
            std::memcpy(&d, data + at, sizeof d);
            values.push_back(d);
            at += sizeof d;
        } else {
            break;
        }
        asFloat = !asFloat;
    }

    // The writer against Qt's own formatting.
    for (double y : values) {
        QByteArray fast;
        CsvCodec::appendNumber(fast, y);
        const QByteArray qt = QString::number(y, 'g', 6).toLatin1();
        if (fast != qt)
            std::fprintf(stderr, "%.17g: wrote %s, Qt writes %s\n", y, fast.constData(),
                         qt.constData());
        FUZZ_CHECK(fast == qt);
    }

    // The values as one chart channel's actual series; the file reads back what it says.
    QVector<QVector<QPointF>> points(8);
    QVector<quint32> counts(4, 0);
    for (double y : values)
        points[0].append(QPointF(counts[0]++, y));
    const QByteArray file = CsvCodec::encode(points, counts);
    QBuffer streamed;
    streamed.open(QIODevice::WriteOnly);
    FUZZ_CHECK(CsvCodec::write(streamed, points, counts) && streamed.data() == file);
    const Decoded decoded = decode(file, std::max(1, int(file.size())));
    FUZZ_CHECK(decoded.lineCount == qint64(values.size()));
    FUZZ_CHECK(decoded.rows.size() == int(values.size()));
    for (int i = 0; i < decoded.rows.size(); ++i) {
        const float expected = QString::number(values[std::size_t(i)], 'g', 6).toFloat();
        FUZZ_CHECK(sameBits(decoded.rows.at(i)[0], expected));
        for (std::size_t f = 1; f < CsvCodec::FieldCount; ++f)
            FUZZ_CHECK(decoded.rows.at(i)[f] == 0.0f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    if ((data[0] & 1) == 0)
        checkImport(reinterpret_cast<const char *>(data + 1), size - 1, data[0] / 2 + 1);
    else
        checkNumbers(data + 1, size - 1);
    return 0;
}
