// The window on the screen: where it opens and how large, and how small its layout lets it get,
// with every control of the left columns still reachable.
#include "app/displaysetup.h"
#include "app/mainwindow.h"

#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QtTest>

class TestDisplaySetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window keeps its run history in the data folder: not the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void initialGeometry_data();
    void initialGeometry();
    void minimumSize();
    void neverLargerThanScreen_data();
    void neverLargerThanScreen();
    void columnsScroll();
};

namespace {
// For failure messages; QTest::toString() would leak where the sanitizers look.
QString text(const QRect &r)
{
    return QStringLiteral("%1 x %2 at %3, %4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

const QSize formSize(1211, 850);
const QSize minimum(872, 384);
const QMargins titleBar(0, 32, 0, 0);
} // namespace

void TestDisplaySetup::initialGeometry_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");

    // A free area with room for the form and its title bar: the form's size, centred.
    QTest::newRow("1920x1080, taskbar") << QRect(0, 0, 1920, 1040) << QRect(354, 111, 1211, 850);
    QTest::newRow("second screen")
        << QRect(1920, 0, 2560, 1400) << QRect(1920 + 674, 32 + 259, 1211, 850);
    // Too low for the form: as much as the title bar leaves.
    QTest::newRow("1366x768, taskbar") << QRect(0, 0, 1366, 728) << QRect(77, 32, 1211, 696);
    QTest::newRow("1920x1080 at 150 %") << QRect(0, 0, 1280, 688) << QRect(34, 32, 1211, 656);
    QTest::newRow("taskbar on the left") << QRect(48, 0, 1232, 720) << QRect(58, 32, 1211, 688);
    QTest::newRow("narrow and low") << QRect(0, 0, 1024, 600) << QRect(0, 32, 1024, 568);
    // Below the layout's minimum nothing can be done; the window keeps its minimum.
    QTest::newRow("800x480") << QRect(0, 0, 800, 480) << QRect(0, 32, 872, 448);
}

void TestDisplaySetup::initialGeometry()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    QCOMPARE(DisplaySetup::initialGeometry(formSize, minimum, available, titleBar), expected);
    const bool fits = expected.size() == formSize;
    QCOMPARE(DisplaySetup::fits(formSize, available, titleBar), fits);
    // Wherever the minimum fits, the window and its title bar lie inside the free area.
    if (minimum.width() <= available.width() && minimum.height() + 32 <= available.height())
        QVERIFY(available.contains(expected.marginsAdded(titleBar)));
}

void TestDisplaySetup::minimumSize()
{
    // With the fonts the project installs, at scale 1: fits 1366 x 768 and 1920 x 1080 at
    // 150 % with a taskbar and a title bar.
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
    QVERIFY2(smallest.width() <= 1024 && smallest.height() <= 640,
             qPrintable(text(QRect(QPoint(), smallest))));
}

void TestDisplaySetup::neverLargerThanScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::newRow("offscreen screen") << QRect();
    QTest::newRow("1366x768, taskbar") << QRect(0, 0, 1366, 728);
    QTest::newRow("1920x1080 at 150 %") << QRect(0, 0, 1280, 688);
    QTest::newRow("large") << QRect(0, 0, 2560, 1400);
}

void TestDisplaySetup::neverLargerThanScreen()
{
    QFETCH(QRect, available);
    const bool madeUp = !available.isNull();
    MainWindow window;
    if (!madeUp) {
        available = QGuiApplication::primaryScreen()->availableGeometry();
        DisplaySetup::showFitted(window);
    } else {
        DisplaySetup::showFitted(window, available);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // A window too large for the free area is maximized, which a window manager fits to that
    // area. The offscreen platform gives it its whole screen instead (800 x 600 in Qt 5,
    // 800 x 800 in Qt 6), so against a made-up area the geometry it returns to must fit.
    const QRect frame = madeUp && window.isMaximized()
                            ? window.normalGeometry().marginsAdded(DisplaySetup::frameEstimate())
                            : window.frameGeometry();
    QVERIFY2(available.contains(frame), qPrintable(text(frame)));
    if (DisplaySetup::fits(formSize, available, DisplaySetup::frameEstimate()))
        QCOMPARE(window.size(), formSize);
}

void TestDisplaySetup::columnsScroll()
{
    // At the smallest size the left columns scroll instead of squashing their controls: the
    // lowest buttons keep their height and can be scrolled into view.
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(window.minimumSizeHint());
    QPushButton *start = window.findChild<QPushButton *>(QStringLiteral("buttonStart"));
    QVERIFY(start);
    QTRY_VERIFY(start->height() >= start->sizeHint().height());
    QVERIFY(window.findChild<QWidget *>(QStringLiteral("editP"))->height() >= 20);
    auto *column = window.findChild<QScrollArea *>(QStringLiteral("scrollPidColumn"));
    QVERIFY(column);
    column->ensureWidgetVisible(start);
    const QRect shown = column->viewport()->rect();
    const QRect at(start->mapTo(column->viewport(), QPoint(0, 0)), start->size());
    QVERIFY(shown.contains(at));
}

QTEST_MAIN(TestDisplaySetup)
#include "tst_displaysetup.moc"
