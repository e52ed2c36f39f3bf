#include "chart/labeltext.h"

#include <QVector>

LabelText::LabelText(const QFont &font)
    : current(font), metrics(font), raw(QRawFont::fromFont(font))
{
}

void LabelText::setFont(const QFont &font)
{
    if (font == current)
        return;
    *this = LabelText(font);
}

bool LabelText::learn(QChar c)
{
    const ushort code = c.unicode();
    if (code >= index.size())
        return false;
    if (known[code] == 0) {
        const QVector<quint32> glyph =
            raw.isValid() ? raw.glyphIndexesForString(QString(c)) : QVector<quint32>();
        if (glyph.size() == 1 && glyph.first() != 0) {
            index[code] = glyph.first();
            advance[code] = raw.advancesForGlyphIndexes(glyph).value(0).x();
            known[code] = 1;
        } else {
            known[code] = -1;
        }
    }
    return known[code] > 0;
}

double LabelText::width(const QString &text)
{
    double sum = 0;
    for (const QChar c : text) {
        if (!learn(c)) {
            if (text != shaped) {
                shaped = text;
                shapedWidth = metrics.horizontalAdvance(text);
            }
            return shapedWidth;
        }
        sum += advance[c.unicode()];
    }
    return sum;
}

QGlyphRun LabelText::glyphs(const QString &text)
{
    QVector<quint32> indexes;
    QVector<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    double x = 0;
    for (const QChar c : text) {
        if (!learn(c))
            return {};
        indexes.append(index[c.unicode()]);
        positions.append(QPointF(x, 0));
        x += advance[c.unicode()];
    }
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return run;
}

const QStaticText &LabelText::laidOut(const QString &text)
{
    if (title.text() != text) {
        title.setTextFormat(Qt::PlainText);
        title.setText(text);
        title.prepare(QTransform(), current);
    }
    return title;
}
