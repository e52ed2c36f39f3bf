// The chart's mouse gestures, the values under the cursor, the legend and the comparison with
// the last run on a chart of its own; the keys, the channel boxes, the legend and the comparison
// box through the real window and a pseudo-terminal.
#include "chart/chartinteraction.h"
#include "chart/comparisonoverlay.h"
#include "tests/support/modaldriver.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QCheckBox>
#include <QGraphicsTextItem>
#include <QPushButton>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <memory>

using QtCharts::QChartView;
using Range = QVector<double>; // x min, x max, y min, y max

class TestChartInteraction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void gestures_data();
    void gestures();
    void panFollowsHeldMouse();
    void readout_data();
    void readout();
    void comparison();
    void throughTheWindow();

private:
    QPoint at(double x, double y) const
    {
        QtCharts::QChart *chart = diagram->chartItem();
        const QPointF p = chart->mapToPosition(QPointF(x, y), diagram->series(0));
        return view->mapFromScene(chart->mapToScene(p));
    }
    void send(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
              Qt::KeyboardModifiers keys = {})
    {
        QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button,
                          type == QEvent::MouseMove ? Qt::NoButton : button, keys);
        QApplication::sendEvent(view->viewport(), &event);
    }

    std::unique_ptr<QChartView> view;
    std::unique_ptr<PID_Diagram> diagram;
    ChartInteraction *interaction = nullptr;
};

void TestChartInteraction::init()
{
    view = std::make_unique<QChartView>();
    view->resize(900, 500);
    diagram = std::make_unique<PID_Diagram>(view.get());
    interaction = new ChartInteraction(diagram.get());
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    // Channel 1: 1000 samples 10 ... 59; channel 2 holds 50; channel 3, hidden, 1200.
    for (int n = 0; n < 1200; ++n) {
        if (n < 1000)
            diagram->append(0, float(10 + n % 50), 20);
        if (n < 50)
            diagram->append(1, 7, 8);
        diagram->append(2, 500, 500);
    }
    diagram->setChannelShown(2, false);
    diagram->showRange(0, 1000, -100, 100);
}

void TestChartInteraction::cleanup()
{
    diagram.reset();
    view.reset();
}

void TestChartInteraction::gestures_data()
{
    QTest::addColumn<bool>("following");
    QTest::addColumn<QByteArray>("gesture");
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<Range>("expected");
    const auto row = [](const char *name, const char *gesture, QPointF from, QPointF to,
                        Range expected) {
        QTest::newRow(name) << false << QByteArray(gesture) << from << to << expected;
    };
    const Range initial{0, 1000, -100, 100};
    // Gestures land the 9 ticks on round values (RoundTicks): a notch goes to the next step.
    // Cursors off the half-step boundaries, where a pixel of difference rounds the other way.
    row("wheel up zooms x around the cursor", "wheel", {300, 0}, {}, {100, 900, -100, 100});
    row("wheel down widens", "wheel down", {500, 0}, {}, {-200, 1400, -100, 100});
    row("ctrl wheel zooms y", "ctrl wheel", {250, 40}, {}, {0, 1000, -80, 80});
    // x keeps its odd step of 125; y's 25 is round and stays on multiples of it.
    row("drag pans", "drag", {500, 0}, {400, 50}, {100, 1100, -150, 50});
    row("right box", "box", {210, 45}, {390, -45}, {200, 400, -60, 100});
    row("shift box", "shift box", {390, -45}, {210, 45}, {200, 400, -60, 100});
    row("tiny box is a click", "box", {200, 50}, {201, 50}, initial);
    // All held samples across, the shown channels' values up and down with 5 % to spare.
    row("double-click fits", "double-click", {500, 0}, {}, {0, 1600, 0, 80});
    row("outside the plot", "wheel", {500, 130}, {}, initial);
    // Where the redraw tick puts the view, and leaves it.
    for (const char *gesture : {"wheel", "ctrl wheel", "drag", "box", "double-click"})
        QTest::addRow("following: %s", gesture) << true << QByteArray(gesture) << QPointF(1100, 50)
                                                << QPointF(1050, 0) << Range{1000, 1200, -100, 100};
}

void TestChartInteraction::gestures()
{
    QFETCH(bool, following);
    QFETCH(QByteArray, gesture);
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    if (following) {
        diagram->startRefresh(20);
        diagram->on_timer_updata();
    }
    const QPoint p = at(from.x(), from.y());
    const QPoint q = at(to.x(), to.y());
    const auto keys = gesture.startsWith("ctrl")    ? Qt::ControlModifier
                      : gesture.startsWith("shift") ? Qt::ShiftModifier
                                                    : Qt::NoModifier;
    if (gesture.contains("wheel")) {
        QWheelEvent wheel(p, view->viewport()->mapToGlobal(p), {},
                          {0, gesture.endsWith("down") ? -120 : 120}, Qt::NoButton, keys,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
    } else if (gesture == "double-click") {
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
            send(type, p, Qt::LeftButton);
    } else {
        const Qt::MouseButton button = gesture == "box" ? Qt::RightButton : Qt::LeftButton;
        send(QEvent::MouseButtonPress, p, button, keys);
        send(QEvent::MouseMove, (p + q) / 2);
        send(QEvent::MouseMove, q);
        send(QEvent::MouseButtonRelease, q, button, keys);
    }
    QFETCH(Range, expected);
    const auto *x = diagram->horizontalAxis();
    const auto *y = diagram->verticalAxis();
    const Range got{x->min(), x->max(), y->min(), y->max()};
    // A pixel of the 900-pixel view is about 1.3 samples and 0.5 in y.
    for (int i = 0; i < 4; ++i)
        QVERIFY2(qAbs(got[i] - expected[i]) < 2.5,
                 qPrintable(QStringLiteral("%1: %2 not %3").arg(i).arg(got[i]).arg(expected[i])));
}

// Moves faster than a frame are taken together: a mouse held still after them has the view
// where it is within a frame, without being let go.
void TestChartInteraction::panFollowsHeldMouse()
{
    const QPoint from = at(500, 0);
    const QPoint to = at(400, 50);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2);
    send(QEvent::MouseMove, to);
    QVERIFY(qAbs(diagram->horizontalAxis()->min() - 50) < 2.5); // the first move only
    QTRY_VERIFY(qAbs(diagram->horizontalAxis()->min() - 100) < 2.5);
    QVERIFY(qAbs(diagram->verticalAxis()->max() - 50) < 2.5);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton);
}

void TestChartInteraction::readout_data()
{
    QTest::addColumn<QPointF>("shown"); // horizontal range
    QTest::addColumn<QPointF>("cursor");
    QTest::addColumn<QString>("text");
    QTest::newRow("both channels hold it")
        << QPointF(0, 110) << QPointF(20.1, 0) << "#20\nCH1 实际 30 目标 20\nCH2 实际 7 目标 8";
    QTest::newRow("nearest, not the one before")
        << QPointF(0, 110) << QPointF(20.7, 0) << "#21\nCH1 实际 31 目标 20\nCH2 实际 7 目标 8";
    QTest::newRow("only channel 1")
        << QPointF(0, 110) << QPointF(80, 0) << "#80\nCH1 实际 40 目标 20";
    // Channel 3 holds more, but is hidden.
    QTest::newRow("past the newest shown, the nearest")
        << QPointF(900, 1010) << QPointF(1005, 0) << "#999\nCH1 实际 59 目标 20";
    QTest::newRow("off the plot") << QPointF(0, 110) << QPointF(50, 150) << "";
}

void TestChartInteraction::readout()
{
    QFETCH(QPointF, shown);
    QFETCH(QPointF, cursor);
    diagram->showRange(shown.x(), shown.y(), -100, 100);
    send(QEvent::MouseMove, at(cursor.x(), cursor.y()));
    QTEST(interaction->readoutText(), "text");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view->viewport(), &leave);
    QCOMPARE(interaction->readoutText(), QString());
}

// Two runs through the step analyzer: the first run's trace lies under the second from its
// first sample on, stays once the second has ended, and is never one of the chart's samples.
void TestChartInteraction::comparison()
{
    diagram->clearAll();
    StepAnalyzer analyzer;
    ComparisonOverlay *overlay = diagram->comparison();
    overlay->setSource([&analyzer](int channel) { return analyzer.previousWindowTrace(channel); });
    const auto run = [&](const QVector<float> &actual) {
        analyzer.beginRun();
        for (const float a : actual) {
            analyzer.addSample(0, qint64(diagram->nextSampleNumber(0)), a, 10);
            diagram->append(0, a, 10);
            diagram->refreshSeries();
        }
        analyzer.finishWindows();
    };
    overlay->setShown(true);
    run({0, 4, 8, 9, 10});
    QCOMPARE(overlay->points(0), QVector<QPointF>());
    run({0, 5, 9});
    const QVector<QPointF> first{{5, 0}, {6, 4}, {7, 8}, {8, 9}, {9, 10}};
    diagram->append(1, 1, 1); // a later refresh finds no current window
    diagram->refreshSeries();
    QCOMPARE(overlay->points(0), first);
    QCOMPARE(diagram->allPoints().at(0).size(), 8);
    QCOMPARE(diagram->sampleCounts(), (QVector<quint32>{8, 1, 0, 0}));
    QCOMPARE(diagram->chartItem()->series().size(), PID_Diagram::SeriesCount);
    diagram->setChannelShown(0, false);
    QCOMPARE(overlay->points(0), QVector<QPointF>());
    diagram->setChannelShown(0, true);
    overlay->setShown(false);
    QCOMPARE(overlay->points(0), QVector<QPointF>());
    overlay->setShown(true);
    QCOMPARE(overlay->points(0), first);
    diagram->clearAll();
    analyzer.clear();
    diagram->refreshSeries();
    QCOMPARE(overlay->points(0), QVector<QPointF>());
}

void TestChartInteraction::throughTheWindow()
{
    cleanup();
    WindowDriver d;
    ModalDriver modal;
    d.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d.window()));
    d.openPid();
    QVERIFY(d.portOpen());
    const auto key = [&d](int k, Qt::KeyboardModifiers keys = {}) {
        QTest::keyClick(&d.window(), Qt::Key(k), keys);
        // A key presses its button for 100 ms. qWait() may end without a last pass of the
        // event loop when the machine is busy: one more, so the click has surely happened.
        QTest::qWait(200);
        QCoreApplication::processEvents();
    };
    auto *pause = d.child<QPushButton>("buttonPause");
    QVERIFY(pause->toolTip().endsWith(QLatin1String("(F6)")));
    key(Qt::Key_F6); // no run: the button is disabled
    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    key(Qt::Key_F5);
    QCOMPARE(d.peer().read(FrameSize, 5000).toHex(' '),
             QByteArray("43 07 00 00 00 00 00 00 00 0a"));
    QVERIFY(d.chart()->isFollowing());
    key(Qt::Key_E, Qt::ControlModifier); // export is disabled during a run
    QCOMPARE(modal.fileDialogs, 0);
    key(Qt::Key_F6);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    QVERIFY(!d.chart()->isFollowing());
    d.chart()->append(0, 1, 1);
    key(Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(d.chart()->sampleCounts().at(0), 0u);
    key(Qt::Key_F5);
    modal.answerFileDialog(QString());
    key(Qt::Key_E, Qt::ControlModifier);
    QTRY_COMPARE(modal.fileDialogs, 1);

    // Each box hides and shows its own channel's two series.
    const auto shownSeries = [&d] {
        QVector<bool> visible;
        for (int i = 0; i < PID_Diagram::SeriesCount; ++i)
            visible << d.chart()->series(i)->isVisible();
        return visible;
    };
    for (int channel = 0; channel < 4; ++channel) {
        const QByteArray box = "checkCH" + QByteArray::number(channel + 1);
        d.click(box.constData());
        QVector<bool> expected(PID_Diagram::SeriesCount, true);
        expected[2 * channel] = expected[2 * channel + 1] = false;
        QCOMPARE(shownSeries(), expected);
        d.click(box.constData());
    }
    // The legend and the check box agree, whichever is clicked; hidden markers stay, greyed.
    QtCharts::QChartView *chartView = d.chart()->view();
    const auto clickLabel = [chartView](const char *name) {
        for (QGraphicsItem *item : chartView->scene()->items()) {
            auto *text = dynamic_cast<QGraphicsTextItem *>(item);
            if (text && text->toPlainText() == QString::fromUtf8(name))
                QTest::mouseClick(chartView->viewport(), Qt::LeftButton, {},
                                  chartView->mapFromScene(text->sceneBoundingRect().center()));
        }
    };
    const auto *marker = d.chart()->chartItem()->legend()->markers(d.chart()->series(3)).at(0);
    auto *box = d.child<QCheckBox>("checkCH2");
    for (const char *label : {"实际值2", "checkCH2", "目标值2"}) {
        const bool shown = d.chart()->channelShown(1);
        if (label[0] == 'c')
            d.click(label);
        else
            clickLabel(label);
        QCOMPARE(d.chart()->channelShown(1), !shown);
        QCOMPARE(box->isChecked(), !shown);
        QVERIFY(marker->isVisible() && (marker->labelBrush().color() == Qt::gray) == shown);
    }
    d.click("checkCompare");
    QVERIFY(d.chart()->comparison()->isShown());
}

QTEST_MAIN(TestChartInteraction)
#include "tst_chartinteraction.moc"
