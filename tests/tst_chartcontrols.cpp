// The controls beside the chart, driven through their widgets.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionSlider>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

QT_CHARTS_USE_NAMESPACE

namespace {

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-3;
}

// What a drag of the handle does: the bar is held while its position changes.
void dragTo(QScrollBar *bar, int position)
{
    if (bar->sliderPosition() == position)
        bar->setValue(position == bar->minimum() ? bar->maximum() : bar->minimum());
    bar->setSliderDown(true);
    bar->setSliderPosition(position);
    bar->setSliderDown(false);
}

QRect handleRect(QScrollBar *bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    if (bar->orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
}

} // namespace

class ChartControlsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void horizontalBar_data();
    void horizontalBar();
    void verticalBar_data();
    void verticalBar();
    void mouseDragMovesView();
    void otherBarInputKeepsView_data();
    void otherBarInputKeepsView();
    void switchMovesHandleOnly();
    void autoScrollLocksBars();
    void pauseTextsAcrossStopAndStart();
    void channelsHiddenAndShown_data();
    void channelsHiddenAndShown();
    void clearEmptiesChart();

private:
    template <typename T> T *widget(const char *name) const
    {
        T *w = window->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    PID_Diagram *diagram() const { return window->pidDiagram(); }
    QString message() const { return window->statusBar()->currentMessage(); }
    void appendChannel1(int samples, float value = 1.0f)
    {
        for (int i = 0; i < samples; ++i) {
            diagram()->appendActual1(value);
            diagram()->appendTarget1(value);
        }
    }
    bool xRangeIs(double lo, double hi) const
    {
        const QValueAxis *axis = diagram()->horizontalAxis();
        return near(axis->min(), lo) && near(axis->max(), hi);
    }

    QScopedPointer<MainWindow> window;
};

void ChartControlsTest::init()
{
    window.reset(new MainWindow);
    window->resize(1200, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    // The PID tab is where these widgets live; make sure it is the one shown.
    QCOMPARE(widget<QScrollBar>("hScrollBar")->isVisible(), true);
}

void ChartControlsTest::cleanup()
{
    window.reset();
}

void ChartControlsTest::horizontalBar_data()
{
    QTest::addColumn<int>("scrollTo");  // scroll mode first; 0: no scroll
    QTest::addColumn<bool>("zoomMode"); // then switch to zoom mode
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");

    // 1000 samples on channel 1, initial fraction 0.4.
    QTest::newRow("scroll middle") << 0 << false << 500 << 300.0 << 700.0;
    QTest::newRow("scroll start shows newest") << 0 << false << 1 << 599.4 << 999.4;
    QTest::newRow("scroll end shows oldest") << 0 << false << 1000 << 0.0 << 400.0;
    QTest::newRow("zoom to a tenth") << 500 << true << 100 << 450.0 << 550.0;
    QTest::newRow("zoom floor of 1 %") << 500 << true << 5 << 495.0 << 505.0;
    QTest::newRow("zoom out to all") << 500 << true << 1000 << 0.0 << 1000.0;
    QTest::newRow("zoom keeps newest end") << 1 << true << 100 << 899.1 << 999.1;
}

void ChartControlsTest::horizontalBar()
{
    QFETCH(int, scrollTo);
    QFETCH(bool, zoomMode);
    QFETCH(int, position);
    QFETCH(double, lo);
    QFETCH(double, hi);

    appendChannel1(1000);
    auto *bar = widget<QScrollBar>("hScrollBar");
    if (scrollTo > 0)
        dragTo(bar, scrollTo);
    if (zoomMode)
        QTest::mouseClick(widget<QCheckBox>("checkSwitch"), Qt::LeftButton);
    dragTo(bar, position);
    const QValueAxis *axis = diagram()->horizontalAxis();
    QVERIFY2(xRangeIs(lo, hi),
             qPrintable(QStringLiteral("X is (%1, %2)").arg(axis->min()).arg(axis->max())));
}

void ChartControlsTest::verticalBar_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("half");
    QTest::newRow("top") << 1 << 999.0;
    QTest::newRow("middle") << 500 << 500.0;
    QTest::newRow("near the floor") << 989 << 11.0;
    QTest::newRow("floor") << 990 << 10.0;
    QTest::newRow("below the floor") << 995 << 10.0;
    QTest::newRow("bottom") << 1000 << 10.0;
}

void ChartControlsTest::verticalBar()
{
    QFETCH(int, position);
    QFETCH(double, half);
    dragTo(widget<QScrollBar>("vScrollBar"), position);
    const QValueAxis *axis = diagram()->verticalAxis();
    QVERIFY2(near(axis->min(), -half) && near(axis->max(), half),
             qPrintable(QStringLiteral("Y is (%1, %2)").arg(axis->min()).arg(axis->max())));
}

void ChartControlsTest::mouseDragMovesView()
{
    appendChannel1(1000);
    auto *bar = widget<QScrollBar>("hScrollBar");
    QWindow *handle = window->windowHandle();
    const QPoint from = bar->mapTo(window.data(), handleRect(bar).center());
    const QPoint to = bar->mapTo(window.data(), QPoint(bar->width() / 2, bar->height() / 2));
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(handle, from + (to - from) * step / 4);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, to);

    // Somewhere around the middle: the window is 400 samples wide and left the newest end.
    const QValueAxis *axis = diagram()->horizontalAxis();
    QVERIFY2(bar->value() > 300 && bar->value() < 700, qPrintable(QString::number(bar->value())));
    QVERIFY(near(axis->max() - axis->min(), 400.0));
    QVERIFY(axis->max() < 900 && axis->min() > 100);
}

void ChartControlsTest::otherBarInputKeepsView_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("page key") << QStringLiteral("key");
    QTest::newRow("trough click") << QStringLiteral("trough");
    QTest::newRow("wheel") << QStringLiteral("wheel");
}

void ChartControlsTest::otherBarInputKeepsView()
{
    QFETCH(QString, input);
    appendChannel1(1000);
    const double xMin = diagram()->horizontalAxis()->min();
    const double xMax = diagram()->horizontalAxis()->max();
    const double yMax = diagram()->verticalAxis()->max();

    for (const char *name : {"hScrollBar", "vScrollBar"}) {
        auto *bar = widget<QScrollBar>(name);
        const int before = bar->value();
        if (input == QLatin1String("key")) {
            bar->setFocus();
            QTest::keyClick(bar, Qt::Key_PageDown);
        } else if (input == QLatin1String("trough")) {
            const QRect handle = handleRect(bar);
            const QPoint beyond =
                bar->orientation() == Qt::Horizontal
                    ? QPoint((handle.right() + bar->width()) / 2, bar->height() / 2)
                    : QPoint(bar->width() / 2, (handle.bottom() + bar->height()) / 2);
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, beyond);
        } else {
            const QPoint centre(bar->width() / 2, bar->height() / 2);
            QWheelEvent wheel(QPointF(centre), QPointF(bar->mapToGlobal(centre)), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(bar, &wheel);
        }
        QVERIFY2(bar->value() != before, name);
    }
    QCOMPARE(diagram()->horizontalAxis()->min(), xMin);
    QCOMPARE(diagram()->horizontalAxis()->max(), xMax);
    QCOMPARE(diagram()->verticalAxis()->max(), yMax);
}

void ChartControlsTest::switchMovesHandleOnly()
{
    appendChannel1(1000);
    auto *bar = widget<QScrollBar>("hScrollBar");
    auto *switchBox = widget<QCheckBox>("checkSwitch");
    dragTo(bar, 500);
    QVERIFY(xRangeIs(300, 700));

    QTest::mouseClick(switchBox, Qt::LeftButton);
    QCOMPARE(message(), QStringLiteral("更改横向滚动条功能"));
    QCOMPARE(bar->value(), 1);
    QVERIFY(xRangeIs(300, 700));

    dragTo(bar, 100); // zoom: a tenth around the kept position
    QVERIFY(xRangeIs(450, 550));

    window->statusBar()->clearMessage();
    QTest::mouseClick(switchBox, Qt::LeftButton);
    QCOMPARE(message(), QStringLiteral("更改横向滚动条功能"));
    QCOMPARE(bar->value(), 1);
    QVERIFY(xRangeIs(450, 550));

    dragTo(bar, 1000); // scroll again, with the zoomed width
    QVERIFY(xRangeIs(0, 100));
}

void ChartControlsTest::autoScrollLocksBars()
{
    auto *box = widget<QCheckBox>("checkAuto");
    auto *hBar = widget<QScrollBar>("hScrollBar");
    auto *vBar = widget<QScrollBar>("vScrollBar");
    QVERIFY(!diagram()->autoScroll);

    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(message(), QStringLiteral("自动滚屏模式开启"));
    QVERIFY(diagram()->autoScroll);
    QVERIFY(!hBar->isEnabled());
    QVERIFY(!vBar->isEnabled());

    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(message(), QStringLiteral("自动滚屏模式关闭"));
    QVERIFY(!diagram()->autoScroll);
    QVERIFY(hBar->isEnabled());
    QVERIFY(vBar->isEnabled());
}

// The text tracks its own toggle, not the run: a stop and start keep "继续".
void ChartControlsTest::pauseTextsAcrossStopAndStart()
{
    auto *pause = widget<QPushButton>("buttonPause");
    QCOMPARE(pause->text(), QStringLiteral("暂停"));

    // What starting a run does to the chart and the button.
    diagram()->startRefresh(20);
    pause->setEnabled(true);
    appendChannel1(250);
    QTRY_VERIFY_WITH_TIMEOUT(xRangeIs(50, 250), 5000);

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    appendChannel1(50);
    QTest::qWait(300); // several ticks' worth: a paused chart must not follow
    QVERIFY(xRangeIs(50, 250));

    diagram()->stopRefresh();
    diagram()->startRefresh(20);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    QTRY_VERIFY_WITH_TIMEOUT(xRangeIs(100, 300), 5000);

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    QVERIFY(diagram()->isRefreshing());
    appendChannel1(100);
    QTRY_VERIFY_WITH_TIMEOUT(xRangeIs(200, 400), 5000);

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    diagram()->stopRefresh();
}

void ChartControlsTest::channelsHiddenAndShown_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("CH1") << 0;
    QTest::newRow("CH2") << 1;
    QTest::newRow("CH3") << 2;
    QTest::newRow("CH4") << 3;
}

void ChartControlsTest::channelsHiddenAndShown()
{
    QFETCH(int, channel);
    auto *box = widget<QCheckBox>(qPrintable(QStringLiteral("checkCH%1").arg(channel + 1)));
    const auto shownSeries = [this] {
        QVector<bool> visible;
        for (int i = 0; i < PID_Diagram::SeriesCount; ++i)
            visible.append(diagram()->series(i)->isVisible());
        return visible;
    };
    QVector<bool> expected(PID_Diagram::SeriesCount, true);
    QCOMPARE(shownSeries(), expected);

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!box->isChecked());
    QVERIFY(!diagram()->channelShown(channel));
    expected[2 * channel] = expected[2 * channel + 1] = false;
    QCOMPARE(shownSeries(), expected);

    // A hidden channel keeps counting.
    diagram()->appendActual(channel, 5);
    diagram()->appendTarget(channel, 6);
    QCOMPARE(diagram()->sampleCounts().at(channel), 1u);

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(diagram()->channelShown(channel));
    QCOMPARE(shownSeries(), QVector<bool>(PID_Diagram::SeriesCount, true));
}

void ChartControlsTest::clearEmptiesChart()
{
    appendChannel1(30);
    diagram()->appendActual4(1);
    QTest::mouseClick(widget<QPushButton>("buttonClear"), Qt::LeftButton);
    QCOMPARE(diagram()->sampleCounts(), QVector<quint32>(4, 0));
    for (const QVector<QPointF> &points : diagram()->allPoints())
        QVERIFY(points.isEmpty());
}

QTEST_MAIN(ChartControlsTest)
#include "tst_chartcontrols.moc"
