#include "datafiles/csvcodec.h"

#include <QIODevice>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Bytes gathered before a write: few system calls, little memory.
constexpr int WriteBlockBytes = 64 * 1024;

template <typename ValueAt>
void appendRow(QByteArray &out, quint32 i, const CsvCodec::SeriesLengths &lengths,
               const ValueAt &value)
{
    for (int s = 0; s < CsvCodec::FieldCount; ++s) {
        if (lengths[std::size_t(s)] > i)
            CsvCodec::appendNumber(out, value(s, i));
        else
            out += '0';
        out += ',';
    }
    out += '\n';
}

CsvCodec::SeriesLengths lengthsOf(const QVector<QVector<QPointF>> &points)
{
    CsvCodec::SeriesLengths lengths{};
    for (int s = 0; s < CsvCodec::FieldCount && s < points.size(); ++s)
        lengths[std::size_t(s)] = quint32(points[s].size());
    return lengths;
}

quint32 largest(const QVector<quint32> &counts)
{
    quint32 rows = 0;
    for (quint32 count : counts)
        rows = std::max(rows, count);
    return rows;
}

} // namespace

QByteArray CsvCodec::encode(const QVector<QVector<QPointF>> &points, const QVector<quint32> &counts)
{
    const quint32 rows = largest(counts);
    const SeriesLengths lengths = lengthsOf(points);
    QByteArray out;
    // A typical field is a few characters; one reservation saves most regrowth.
    out.reserve(int(std::min<qint64>(qint64(rows) * FieldCount * 6, 1 << 28)));
    const auto value = [&points](int s, quint32 i) { return points[s][int(i)].y(); };
    for (quint32 i = 0; i < rows; ++i)
        appendRow(out, i, lengths, value);
    return out;
}

bool CsvCodec::writeRows(QIODevice &out, quint32 first, quint32 end, const SeriesLengths &lengths,
                         const SeriesValue &value)
{
    QByteArray block;
    block.reserve(WriteBlockBytes + int(MaxRowBytes));
    for (quint32 i = first; i < end; ++i) {
        appendRow(block, i, lengths, value);
        if (block.size() >= WriteBlockBytes || i + 1 == end) {
            // A short write means the disk is full; the next one sets the device's error.
            for (qint64 done = 0; done < block.size();) {
                const qint64 n = out.write(block.constData() + done, block.size() - done);
                if (n <= 0)
                    return false;
                done += n;
            }
            block.resize(0);
        }
    }
    return true;
}

bool CsvCodec::write(QIODevice &out, const QVector<QVector<QPointF>> &points,
                     const QVector<quint32> &counts)
{
    return writeRows(out, 0, largest(counts), lengthsOf(points),
                     [&points](int s, quint32 i) { return points[s][int(i)].y(); });
}

quint32 CsvCodec::rowCount(const SeriesLengths &lengths)
{
    return *std::max_element(lengths.begin(), lengths.end());
}

QString CsvCodec::exportRefusal(quint64 rows)
{
    if (rows <= MaxRows)
        return QString();
    return tr("数据过多（超过%1行）").arg(MaxRows);
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

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool sameLetters(const char *text, const char *lowerCase)
{
    for (int i = 0; lowerCase[i]; ++i) {
        if ((text[i] | 0x20) != lowerCase[i])
            return false;
    }
    return true;
}

// The number forms of the class comment, nothing around them.
bool isNumberText(const char *p, const char *end)
{
    const bool signed_ = p < end && (*p == '+' || *p == '-');
    if (signed_)
        ++p;
    if (end - p == 3 && (sameLetters(p, "inf") || (!signed_ && sameLetters(p, "nan"))))
        return true;
    int digits = 0;
    for (; p < end && isDigit(*p); ++p)
        ++digits;
    if (p < end && *p == '.') {
        for (++p; p < end && isDigit(*p); ++p)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char *exponent = p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == exponent)
            return false;
    }
    return p == end;
}

} // namespace

bool CsvCodec::parseNumber(const char *text, int length, float &value)
{
    const char *begin = text;
    const char *end = text + length;
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    if (!isNumberText(begin, end))
        return false;
    // Qt's own conversion, so values are what the import has always read; ASCII only here.
    const int size = int(end - begin);
    QChar wide[64];
    if (size > 64) {
        value = QString::fromLatin1(begin, size).toFloat();
        return true;
    }
    for (int i = 0; i < size; ++i)
        wide[i] = QLatin1Char(begin[i]);
    value = QLocale::c().toFloat(QStringView(wide, size));
    return true;
}

bool CsvCodec::parseLine(const char *line, int length, Row &row)
{
    const char *field = line;
    const char *const end = line + length;
    for (int f = 0; f < FieldCount; ++f) {
        const char *comma = static_cast<const char *>(std::memchr(field, ',', size_t(end - field)));
        const char *fieldEnd = comma ? comma : end;
        if (!parseNumber(field, int(fieldEnd - field), row[std::size_t(f)]))
            return false;
        if (!comma)
            return f == FieldCount - 1; // the line ended: fewer than eight fields?
        field = comma + 1;
    }
    return true;
}
