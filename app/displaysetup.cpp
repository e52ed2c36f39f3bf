#include "app/displaysetup.h"

#include "base/qtcompat.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void DisplaySetup::beforeApplication()
{
    QtCompat::enableHighDpiScaling();
    // 1.25 and 1.5 stay what they are instead of rounding to 1 or 2.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    // Nothing in the window draws through OpenGL (the chart fills its own lines with the raster
    // engine); pure raster windows keep the platform from loading an OpenGL driver, which for
    // Mesa's software one adds some 50 MiB and idle threads.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
}

bool DisplaySetup::fits(const QSize &preferred, const QRect &available, const QMargins &frame)
{
    const QSize room = available.marginsRemoved(frame).size();
    return preferred.width() <= room.width() && preferred.height() <= room.height();
}

QRect DisplaySetup::initialGeometry(const QSize &preferred, const QSize &minimum,
                                    const QRect &available, const QMargins &frame)
{
    const QRect room = available.marginsRemoved(frame);
    const QSize size = preferred.boundedTo(room.size()).expandedTo(minimum);
    const int x = room.x() + std::max(0, (room.width() - size.width()) / 2);
    const int y = room.y() + std::max(0, (room.height() - size.height()) / 2);
    return {QPoint(x, y), size};
}

QMargins DisplaySetup::frameEstimate()
{
    return {0, 32, 0, 0};
}

void DisplaySetup::showFitted(QWidget &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        window.show();
        return;
    }
    showFitted(window, screen->availableGeometry());
}

void DisplaySetup::showFitted(QWidget &window, const QRect &available)
{
    const QMargins frame = frameEstimate();
    // The layout's minimum is only known once the form is laid out.
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    const bool fitting = fits(window.size(), available, frame);
    window.setGeometry(initialGeometry(window.size(), minimum, available, frame));
    if (fitting)
        window.show();
    else
        window.showMaximized();
}
