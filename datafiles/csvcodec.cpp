#include "datafiles/csvcodec.h"

#include "chart/samplestore.h"

#include <QString>
#include <QStringRef>

#include <cstring>

#include <algorithm>
#include <cmath>

QByteArray CsvCodec::encode(const QVector<QVector<QPointF>> &points, const QVector<quint32> &counts)
{
    quint32 rowCount = 0;
    for (quint32 count : counts)
        rowCount = std::max(rowCount, count);

    QByteArray out;
    // A typical field is a few characters; one reservation saves most regrowth.
    out.reserve(int(std::min<qint64>(qint64(rowCount) * FieldCount * 6, 1 << 28)));
    const int seriesCount = int(points.size());
    for (quint32 i = 0; i < rowCount; ++i) {
        for (int s = 0; s < FieldCount; ++s) {
            if (s < seriesCount && quint32(points[s].size()) > i)
                appendNumber(out, points[s][int(i)].y());
            else
                out += '0';
            out += ',';
        }
        out += '\n';
    }
    return out;
}

quint64 CsvCodec::rowCount(const SampleStore &store)
{
    quint64 rows = 0;
    for (int c = 0; c < SampleStore::ChannelCount; ++c)
        rows = std::max(rows, store.held(c));
    return rows;
}

void CsvCodec::encodeRows(const SampleStore &store, quint64 from, quint64 to, QByteArray &out)
{
    std::array<SampleStore::Series, FieldCount> series;
    for (int s = 0; s < FieldCount; ++s)
        series[std::size_t(s)] = store.series(s);
    for (quint64 i = from; i < to; ++i) {
        for (const SampleStore::Series &s : series) {
            if (i < s.size())
                appendNumber(out, double(s.y(s.first() + i)));
            else
                out += '0';
            out += ',';
        }
        out += '\n';
    }
}

namespace {

// 10^0 .. 10^22, the powers of ten a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// a × 10^k with one rounding, or false when 10^k is not exact.
bool scaleByPowerOfTen(double a, int k, double &result)
{
    if (k > 22 || k < -22)
        return false;
    result = k >= 0 ? a * exactPowersOfTen[k] : a / exactPowersOfTen[-k];
    return true;
}

// Six significant digits of a finite, nonzero y, in the form of printf's %.6g. False when the
// digits are uncertain: a value within a hair of a rounding tie (Qt rounds ties away from
// zero) or of a magnitude that cannot be scaled exactly.
bool appendSixDigits(QByteArray &out, double y)
{
    const double a = std::fabs(y);
    int exponent = int(std::floor(std::log10(a)));
    double scaled = 0;
    if (!scaleByPowerOfTen(a, 5 - exponent, scaled))
        return false;
    // log10 may be one off next to a power of ten.
    if (scaled >= 1e6 || scaled < 1e5) {
        exponent += scaled >= 1e6 ? 1 : -1;
        if (!scaleByPowerOfTen(a, 5 - exponent, scaled) || scaled >= 1e6 || scaled < 1e5)
            return false;
    }
    // The scaling is off by at most about 1e-10 here, far below this margin.
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-6)
        return false;
    quint32 digits = quint32(whole) + (fraction > 0.5 ? 1 : 0);
    if (digits == 1000000) {
        digits = 100000;
        ++exponent;
    }

    char text[6];
    for (int i = 5; i >= 0; --i) {
        text[i] = char('0' + digits % 10);
        digits /= 10;
    }
    int significant = 6;
    while (significant > 1 && text[significant - 1] == '0')
        --significant;

    if (y < 0)
        out += '-';
    if (exponent < -4 || exponent >= 6) {
        out += text[0];
        if (significant > 1) {
            out += '.';
            out.append(text + 1, significant - 1);
        }
        out += exponent < 0 ? "e-" : "e+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            out += '0';
        out += QByteArray::number(magnitude);
    } else if (exponent >= 0) {
        const int integerDigits = exponent + 1;
        out.append(text, integerDigits);
        if (significant > integerDigits) {
            out += '.';
            out.append(text + integerDigits, significant - integerDigits);
        }
    } else {
        out += "0.";
        for (int i = exponent + 1; i < 0; ++i)
            out += '0';
        out.append(text, significant);
    }
    return true;
}

} // namespace

void CsvCodec::appendNumber(QByteArray &out, double y)
{
    if (y != 0.0 && std::isfinite(y) && appendSixDigits(out, y))
        return;
    out += QString::number(y, 'g', 6).toLatin1();
}

bool CsvCodec::parseLine(const QString &line, Row &row)
{
    const int length = line.size();
    const QChar *text = line.constData();
    int start = 0;
    int field = 0;
    for (int i = 0; i <= length && field < FieldCount; ++i) {
        if (i == length || text[i] == QLatin1Char(',')) {
            if (i == length && field < FieldCount - 1)
                return false;
            row[size_t(field)] = QStringRef(&line, start, i - start).toFloat();
            ++field;
            start = i + 1;
        }
    }
    return field == FieldCount;
}

CsvCodec::Decoded CsvCodec::decode(const QByteArray &bytes)
{
    Decoded result;
    if (bytes.size() > MaxImportBytes) {
        result.status = Status::TooLarge;
        return result;
    }

    const char *data = bytes.constData();
    const char *const end = data + bytes.size();
    // Editors on some systems put a UTF-8 byte order mark in front.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        data += 3;

    QString line;
    Row row{};
    while (data < end) {
        const char *lf = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        const char *lineEnd = lf ? lf : end;
        const char *next = lf ? lf + 1 : end;
        // CR LF reads as LF; so does a lone CR that ends the data.
        if (lineEnd > data && lineEnd[-1] == '\r')
            --lineEnd;

        if (result.lineCount == MaxImportLines) {
            result.status = Status::TooManyLines;
            result.rows.clear();
            return result;
        }
        ++result.lineCount;
        line = QString::fromUtf8(data, int(lineEnd - data));
        if (parseLine(line, row))
            result.rows.append(row);
        data = next;
    }
    return result;
}
