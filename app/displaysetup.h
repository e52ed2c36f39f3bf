#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// How the program meets the desktop: high-DPI scaling before the application exists, and the
// main window opened no larger than the screen.
class DisplaySetup
{
public:
    // Before the QApplication: scaling that follows the screen's factor, fractions included,
    // pixmaps drawn at the device's resolution, and raster-only windows where OpenGL cannot
    // help the chart.
    static void beforeApplication();

    // The window's first geometry, frame excluded: `preferred` where it fits inside
    // `available` with `frame` around it, otherwise as much of `available` as the frame
    // leaves; never below `minimum`. Centred in what the frame leaves.
    static QRect initialGeometry(const QSize &preferred, const QSize &minimum,
                                 const QRect &available, const QMargins &frame);

    // Whether `preferred` and `frame` fit inside `available`.
    static bool fits(const QSize &preferred, const QRect &available, const QMargins &frame);

    // The frame a window manager will probably add, before the window is shown and the real
    // one can be known: a title bar.
    static QMargins frameEstimate();

    // Shows `window` on the primary screen at initialGeometry() of its current size; where
    // that does not fit it is shown maximized, which a window manager fits to the free area
    // exactly. Call instead of show().
    static void showFitted(QWidget &window);
    // The same against a given free area of a screen.
    static void showFitted(QWidget &window, const QRect &available);
};
