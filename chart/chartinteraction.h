#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QTimer>

class PID_Diagram;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsTextItem;
class QMouseEvent;
class QWheelEvent;

// What the mouse does on the PID chart.
// - While the view is not following new samples: the wheel zooms the horizontal axis around
//   the cursor (with Ctrl the vertical one), a left drag pans, a right drag or a Shift + left
//   drag zooms to the box, a double-click fits all held samples horizontally and the shown
//   channels vertically. While following, the redraw tick owns the view and these do nothing.
// - Always: over the plot, a line at the nearest sample and a readout of the shown channels'
//   values there, see-through and at the top or bottom, away from the curves; clicking a
//   legend marker shows or hides its channel. While the view follows a run the readout shows
//   only while the mouse moves. Gestures and the fit land the ticks on round values.
// The line and the readout are items of the chart's scene that repaint only their own area, at
// most every HoverIntervalMs while the mouse moves: that repaint strokes every visible series
// again, clipped, so it costs what the points in view cost. Nothing is computed while the mouse
// is still and the view does not move.
class ChartInteraction : public QObject
{
    Q_OBJECT

public:
    // Each wheel notch shrinks the range to this fraction of itself.
    static constexpr double WheelZoom = 0.8;
    // A box narrower or lower than this many pixels is taken for a click.
    static constexpr int MinimumBox = 4;
    // The narrowest horizontal range, in samples.
    static constexpr double MinimumSamples = 4;
    // The line and the readout follow the cursor at most this often.
    static constexpr int HoverIntervalMs = 40;
    // A pan moves the view at most this often, a frame of a 60 Hz screen: a mouse reporting
    // more often would have the whole view mapped and filled again for frames nobody sees.
    // The view always lands where the mouse is.
    static constexpr int PanIntervalMs = 16;
    // While the view follows a run the readout shows this long after the mouse last moved.
    static constexpr int FollowingReadoutMs = 1000;

    // Watches the diagram's view; becomes a child of the diagram.
    explicit ChartInteraction(PID_Diagram *diagram);

    // The readout as plain text, one line for the sample number and one per channel; empty
    // while hidden.
    QString readoutText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Drag { None, Pan, Box };
    struct Range
    {
        double xMin;
        double xMax;
        double yMin;
        double yMax;
    };

    bool mousePress(QMouseEvent *event);
    bool mouseMove(QMouseEvent *event);
    bool mouseRelease(QMouseEvent *event);
    bool wheel(QWheelEvent *event);
    void fitAll();
    bool onPlot(const QPointF &at) const;
    Range range() const;
    QPointF toChart(const QPoint &viewportPos) const;
    QPointF valueAt(const QPointF &chartPos) const;
    void hoverMoved();
    void panToMouse();
    void updateReadout();
    void hideReadout();
    void showMarkers(int channel, bool shown);

    PID_Diagram *diagram;
    QGraphicsLineItem *line;
    QGraphicsRectItem *readoutBox;
    QGraphicsTextItem *readout;
    QGraphicsRectItem *band;

    Drag drag = Drag::None;
    QPointF pressAt; // chart coordinates
    Range pressRange{};
    QPointF mouseAt; // chart coordinates of the last move
    bool mouseOver = false;
    QString readoutHtml;
    QTimer hoverTimer;
    bool hoverPending = false;
    QTimer panTimer;
    bool panPending = false;
    QElapsedTimer lastMove;
};
