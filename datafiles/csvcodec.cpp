#include "datafiles/csvcodec.h"

#include <QString>
#include <QStringRef>

#include <cstring>

#include <algorithm>

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
                out += QString::number(points[s][int(i)].y(), 'g', 6).toLatin1();
            else
                out += '0';
            out += ',';
        }
        out += '\n';
    }
    return out;
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
