#include "chart/axislayer.h"

#include "chart/axislabels.h"
#include "chart/plotgrid.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

#include <cmath>

QT_CHARTS_USE_NAMESPACE

AxisLayer::AxisLayer(QChart *owner, QValueAxis *horizontal, QValueAxis *vertical)
    : QGraphicsItem(owner), chart(owner), axisX(horizontal), axisY(vertical), base(owner->margins())
{
    axisX->setVisible(false);
    axisY->setVisible(false);
    // Above the grid, below the series, as Qt Charts stacks its axes.
    setZValue(3);
    setFlag(ItemIgnoresParentOpacity);
    // A repaint of the plot alone (the readout, a line) draws no label.
    setFlag(ItemUsesExtendedStyleOption);
    refresh();
}

void AxisLayer::setHorizontal(QValueAxis *axis)
{
    if (axis == axisX)
        return;
    axis->setVisible(false);
    axisX = axis;
    refresh();
}

QSizeF AxisLayer::boxSize(LabelText &font, const QString &text)
{
    // Qt Charts' label is a text item: the text's advance and line height, and a pixel of
    // document margin around them.
    return {font.width(text) + 2, font.height() + 2};
}

void AxisLayer::refresh()
{
    const QRectF before = area;
    const QMargins roomBefore = room;
    const QVector<Label> bottomBefore = bottom;
    const QVector<Label> leftBefore = left;
    const QVector<Label> titlesBefore = titles();
    layOut();
    // Hidden, the axes take no room.
    const QMargins wanted = isVisible() ? base + room : base;
    if (chart->margins() != wanted)
        chart->setMargins(wanted); // lays the chart out again, and this with it
    if (area != before || room != roomBefore || titles() != titlesBefore) {
        update();
        return;
    }
    // Only the side that changed: while a run is followed, the labels below the plot change
    // at every tick and those beside it seldom, and the legend above it never.
    const QRectF all = boundingRect();
    if (bottom != bottomBefore)
        update(
            QRectF(all.left(), area.bottom() - 1, all.width(), all.bottom() - area.bottom() + 1));
    if (left != leftBefore)
        update(QRectF(all.left(), all.top(), area.left() - all.left() + 1, all.height()));
}

void AxisLayer::layOut()
{
    const QRectF now = chart->plotArea();
    if (now != area) {
        prepareGeometryChange();
        area = now;
    }
    labelsX.setFont(axisX->labelsFont());
    labelsY.setFont(axisY->labelsFont());
    titleX.setFont(axisX->titleFont());
    titleY.setFont(axisY->titleFont());
    const auto place = [](LabelText &font, const QString &text) {
        return Label{QRectF(QPointF(), boxSize(font, text)), text, font.glyphs(text)};
    };
    majorX = PlotGrid::tickPositions(area.left(), area.width(), axisX->tickCount(), 0, true);
    minorX = PlotGrid::tickPositions(area.left(), area.width(), axisX->tickCount(),
                                     axisX->minorTickCount(), false);
    majorY = PlotGrid::tickPositions(area.bottom(), -area.height(), axisY->tickCount(), 0, true);
    minorY = PlotGrid::tickPositions(area.bottom(), -area.height(), axisY->tickCount(),
                                     axisY->minorTickCount(), false);

    // Below the ticks, each centred on its own; one that would overlap the last shown stays
    // hidden, as Qt Charts hides it.
    bottom.clear();
    const QStringList textsX =
        axisTickLabels(axisX->min(), axisX->max(), axisX->tickCount(), axisX->labelFormat());
    const double lastWidth = textsX.isEmpty() ? 0.0 : boxSize(labelsX, textsX.constLast()).width();
    for (int i = 0; i < textsX.size() && i < majorX.size(); ++i) {
        Label label = place(labelsX, textsX.at(i));
        label.box.moveTo(majorX.at(i) - label.box.width() / 2, area.bottom() + MajorTick);
        if (bottom.isEmpty() || label.box.left() >= bottom.constLast().box.right())
            bottom.append(label);
    }
    // Left of the ticks, right-aligned, each centred on its own.
    left.clear();
    const QStringList textsY =
        axisTickLabels(axisY->min(), axisY->max(), axisY->tickCount(), axisY->labelFormat());
    const double labelsRight = std::floor(area.left()) - MajorTick;
    double widestLeft = 0;
    for (int i = 0; i < textsY.size() && i < majorY.size(); ++i) {
        Label label = place(labelsY, textsY.at(i));
        widestLeft = std::max(widestLeft, label.box.width());
        label.box.moveTo(labelsRight - label.box.width(), majorY.at(i) - label.box.height() / 2);
        if (left.isEmpty() || label.box.bottom() <= left.constLast().box.top())
            left.append(label);
    }

    bottomTitle = {QRectF(QPointF(), boxSize(titleX, axisX->titleText())), axisX->titleText(), {}};
    bottomTitle.box.moveTo(area.center().x() - bottomTitle.box.width() / 2,
                           area.bottom() + MajorTick + labelsX.height() + 2 + TitleGap);
    // Read from bottom to top: its box is the text's turned a quarter.
    const QSizeF turned = boxSize(titleY, axisY->titleText());
    leftTitle = {QRectF(0, 0, turned.height(), turned.width()), axisY->titleText(), {}};

    // The room the axes take around the plot; half a label sticks out past its top and right.
    const double across = leftTitle.text.isEmpty() ? 0.0 : leftTitle.box.width() + TitleGap;
    const double labelHeight = labelsX.height() + 2;
    const QMargins around(
        settle(int(std::ceil(Edge + across + widestLeft + MajorTick + 1)), room.left(),
               leftTooWide),
        int(std::floor(labelHeight / 2)),
        settle(int(std::ceil(lastWidth / 2 - 0.5)), room.right(), rightTooWide),
        int(std::ceil(MajorTick + labelHeight + TitleGap +
                      (bottomTitle.text.isEmpty() ? 0.0 : bottomTitle.box.height()) + Edge)));
    // At the outer edge of the room, where wider labels would have put it.
    leftTitle.box.moveTo(area.left() - around.left() + Edge,
                         area.center().y() - leftTitle.box.height() / 2);
    if (around != room) {
        prepareGeometryChange();
        room = around;
    }
}

int AxisLayer::settle(int needed, int held, QElapsedTimer &tooMuchSince)
{
    if (needed >= held) {
        tooMuchSince.invalidate();
        return needed;
    }
    if (!tooMuchSince.isValid()) {
        tooMuchSince.start();
        // Looked at again then, should nothing change meanwhile.
        QTimer::singleShot(ShrinkAfterMs + 1, chart, [this] { refresh(); });
    }
    if (tooMuchSince.elapsed() < ShrinkAfterMs)
        return held;
    tooMuchSince.invalidate();
    return needed;
}

void AxisLayer::draw(QPainter *painter, const LabelText &font, const Label &label)
{
    const QPointF baseline = label.box.topLeft() + QPointF(1, 1 + font.ascent());
    if (label.glyphs.glyphIndexes().isEmpty())
        painter->drawText(baseline, label.text);
    else
        painter->drawGlyphRun(baseline, label.glyphs);
}

QVariant AxisLayer::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemVisibleHasChanged)
        refresh();
    return QGraphicsItem::itemChange(change, value);
}

QVector<AxisLayer::Label> AxisLayer::labels(Qt::Orientation orientation) const
{
    return orientation == Qt::Horizontal ? bottom : left;
}

QVector<AxisLayer::Label> AxisLayer::titles() const
{
    return {bottomTitle, leftTitle};
}

QRectF AxisLayer::boundingRect() const
{
    if (area.isEmpty())
        return {};
    return area.adjusted(-room.left(), -room.top(), room.right(), room.bottom())
        .adjusted(-1, -1, 1, 1);
}

void AxisLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    if (area.isEmpty())
        return;
    // Lines on whole pixels, sharp as Qt Charts draws them; text smooth.
    painter->setRenderHint(QPainter::Antialiasing, false);
    const double x0 = area.left();
    const double y0 = area.bottom();
    painter->setPen(axisX->linePen());
    QVector<QLineF> lines{QLineF(x0, y0, area.right(), y0)};
    for (double x : qAsConst(majorX))
        lines.append(QLineF(x, y0, x, y0 + MajorTick));
    for (double x : qAsConst(minorX))
        lines.append(QLineF(x, y0, x, y0 + MinorTick));
    painter->drawLines(lines);
    painter->setPen(axisY->linePen());
    const double yLine = std::floor(x0);
    lines = {QLineF(yLine, area.top(), yLine, y0)};
    for (double y : qAsConst(majorY))
        lines.append(QLineF(yLine - MajorTick, y, yLine, y));
    for (double y : qAsConst(minorY))
        lines.append(QLineF(yLine - MinorTick, y, yLine, y));
    painter->drawLines(lines);

    const QRectF exposed = option->exposedRect;
    const auto drawLabels = [&](QValueAxis *axis, const LabelText &font,
                                const QVector<Label> &labels) {
        painter->setFont(axis->labelsFont());
        painter->setPen(axis->labelsBrush().color());
        for (const Label &label : labels) {
            if (label.box.intersects(exposed))
                draw(painter, font, label);
        }
    };
    drawLabels(axisX, labelsX, bottom);
    drawLabels(axisY, labelsY, left);

    if (bottomTitle.box.intersects(exposed) && !bottomTitle.text.isEmpty()) {
        painter->setFont(axisX->titleFont());
        painter->setPen(axisX->titleBrush().color());
        painter->drawStaticText(bottomTitle.box.topLeft() + QPointF(1, 1),
                                titleX.laidOut(bottomTitle.text));
    }
    if (leftTitle.box.intersects(exposed) && !leftTitle.text.isEmpty()) {
        painter->save();
        painter->setFont(axisY->titleFont());
        painter->setPen(axisY->titleBrush().color());
        painter->translate(leftTitle.box.center());
        painter->rotate(-90);
        painter->drawStaticText(
            QPointF(-leftTitle.box.height() / 2 + 1, -leftTitle.box.width() / 2 + 1),
            titleY.laidOut(leftTitle.text));
        painter->restore();
    }
}
