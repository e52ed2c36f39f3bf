#pragma once

#include "base/qtcompat.h"
#include "chart/labeltext.h"

#include <QElapsedTimer>
#include <QFont>
#include <QGraphicsItem>
#include <QMargins>
#include <QVector>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The chart's two axes, drawn in place of Qt Charts' own: the line, the major and minor
// ticks, the labels and the title of each, in the axes' fonts, brushes and pens, where Qt
// Charts puts them. Qt Charts lays out both axes again after every range change, each label
// a rich-text item, which was a fifth of the program's time at the rates boards send. The
// axes stay in the chart, hidden, and keep their ranges, formats and titles; the room they
// took is kept as margins of the chart, so the plot area lies where it did.
class AxisLayer : public QGraphicsItem
{
public:
    // Draws `horizontal` below the plot and `vertical` to its left and hides both. Becomes a
    // child item of the chart.
    AxisLayer(QtCharts::QChart *chart, QtCharts::QValueAxis *horizontal,
              QtCharts::QValueAxis *vertical);

    // The axis drawn below the plot, in place of the one drawn so far.
    void setHorizontal(QtCharts::QValueAxis *axis);
    QtCharts::QValueAxis *horizontal() const { return axisX; }

    // A range, format, title or the plot area changed.
    void refresh();

    // What is drawn, in the chart's coordinates.
    struct Label
    {
        QRectF box;
        QString text;
        QGlyphRun glyphs; // from the box's left end on its baseline; empty: drawn as text
        bool operator==(const Label &other) const { return box == other.box && text == other.text; }
        bool operator!=(const Label &other) const { return !(*this == other); }
    };
    QVector<Label> labels(Qt::Orientation orientation) const;
    QVector<Label> titles() const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    // Qt Charts' spacing around an axis: ticks outwards, and the gap from the labels to the
    // title.
    static constexpr double MajorTick = 4;
    static constexpr double MinorTick = 2;
    static constexpr double TitleGap = 3;
    static constexpr double Edge = 1.5;

    // Room beside the plot grows at once and gives back only what it has had too much for
    // this long: the labels of a view fitted at every tick change width now and then, and
    // each change of room moves the plot and lays out the chart, its grid and its legend.
    static constexpr qint64 ShrinkAfterMs = 1000;
    int settle(int needed, int held, QElapsedTimer &tooMuchSince);

    static QSizeF boxSize(LabelText &font, const QString &text);
    void layOut();
    static void draw(QPainter *painter, const LabelText &font, const Label &label);

    QtCharts::QChart *chart;
    QtCharts::QValueAxis *axisX;
    QtCharts::QValueAxis *axisY;
    QMargins base; // the chart's own margins, without the axes' room
    QRectF area;
    QMargins room; // what the axes take around the plot area
    QVector<Label> bottom;
    QVector<Label> left;
    Label bottomTitle;
    Label leftTitle;
    QVector<double> majorX, minorX, majorY, minorY;
    LabelText labelsX, labelsY, titleX, titleY;
    QElapsedTimer leftTooWide, rightTooWide;
};
