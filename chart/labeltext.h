#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QStaticText>

#include <array>

// Short texts in one font laid out from glyphs kept per character: the axis labels, new at
// every tick of a followed run, each shaped afresh by QPainter before. Numbers need no
// shaping; a text with a character beyond ASCII, or one the font has no glyph for, gets no
// glyphs here and is left to QPainter.
class LabelText
{
public:
    explicit LabelText(const QFont &font = QFont());

    // Forgets the glyphs when the font differs from the one they are of.
    void setFont(const QFont &font);
    const QFont &font() const { return current; }

    // The advance of `text`, as QFontMetricsF gives it for a number.
    double width(const QString &text);
    // The glyphs of `text` with their positions from its left end on the baseline; empty when
    // QPainter has to shape it.
    QGlyphRun glyphs(const QString &text);

    // `text` laid out once, for a text that stays the same from one repaint to the next (a
    // title): QPainter would shape it again at each.
    const QStaticText &laidOut(const QString &text);

    double ascent() const { return metrics.ascent(); }
    double height() const { return metrics.height(); }

private:
    // False for a character this cannot set.
    bool learn(QChar c);

    QFont current;
    QFontMetricsF metrics;
    // The last text QPainter had to measure: a title, the same at every tick.
    QString shaped;
    double shapedWidth = 0;
    QStaticText title;
    QRawFont raw;
    std::array<quint32, 128> index{};
    std::array<double, 128> advance{};
    std::array<signed char, 128> known{}; // 0 not yet asked, 1 set here, -1 left to QPainter
};
