// The CSV data file. Byte 0 even: the rest is a file for the import, whose lines are checked
// against a plain split of the bytes. Byte 0 odd: the rest is a series of values (floats and
// doubles in turn) for the export's number writer, which must write exactly what Qt writes,
// and whose file must read back as those numbers.
#include "datafiles/csvcodec.h"
#include "fuzz/fuzzcheck.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>
#include <vector>

namespace {

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkImport(const char *data, std::size_t size)
{
    QByteArray bytes(data, int(size));
    const CsvCodec::Decoded decoded = CsvCodec::decode(bytes);
    FUZZ_CHECK(decoded.status == CsvCodec::Status::Ok);

    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> lines = bytes.split('\n');
    // A last line end closes the last line; it starts no empty one.
    if (lines.constLast().isEmpty())
        lines.removeLast();
    FUZZ_CHECK(decoded.lineCount == lines.size());

    int rowIndex = 0;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        // Decoded first, as the import does: a byte order mark opening a line is dropped by
        // the decoder, one inside a field stays and spoils the number.
        const QStringList fields =
            QString::fromUtf8(line.constData(), line.size()).split(QLatin1Char(','));
        if (fields.size() < CsvCodec::FieldCount)
            continue;
        FUZZ_CHECK(rowIndex < decoded.rows.size());
        const CsvCodec::Row &row = decoded.rows.at(rowIndex++);
        for (int f = 0; f < CsvCodec::FieldCount; ++f)
            FUZZ_CHECK(sameBits(row[std::size_t(f)], fields.at(f).toFloat()));
    }
    FUZZ_CHECK(rowIndex == decoded.rows.size());
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
    const CsvCodec::Decoded decoded = CsvCodec::decode(file);
    FUZZ_CHECK(decoded.status == CsvCodec::Status::Ok);
    FUZZ_CHECK(decoded.lineCount == int(values.size()));
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
        checkImport(reinterpret_cast<const char *>(data + 1), size - 1);
    else
        checkNumbers(data + 1, size - 1);
    return 0;
}
