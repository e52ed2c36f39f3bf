// The tuning dock through the window and a pseudo-terminal: a step from the board, 识别, three
// suggestions, the selected one's prediction on the chart, 写入建议 sends P, I and D.
#include "chart/comparisonoverlay.h"
#include "chart/stepchart.h"
#include "pidlink/pidframe.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"
#include "tuning/closedloop.h"

#include <QAction>
#include <QTableWidget>
#include <QtTest>

class TuningDockTest : public QObject
{
    Q_OBJECT

private slots:
    void identifyAndApply();
};

void TuningDockTest::identifyAndApply()
{
    WindowDriver d;
    d.window().findChild<QAction *>(QStringLiteral("actionTuning"))->trigger();
    d.openPid();
    QVERIFY(d.child("dockTuning")->isVisible() && d.portOpen());
    // The board reports the gains it runs with, then steps the motor.
    for (const auto &[op, value] : {std::pair{CmdP, 0.6f}, {CmdI, 6.0f}, {CmdD, 0.0f}})
        QVERIFY(d.peer().write(commandFrame(op, DirWrite, 0, value)));
    ClosedLoop::Setup loop;
    loop.plant = {2.0, 0.25, 0.03, 0.0};
    loop.form = ControllerForm::simulatedBoard(0);
    loop.gains = {0.6, 6.0, 0.0};
    loop.target = 100;
    d.click("buttonStart");
    // Paced, so the samples' arrival gives the period.
    for (const double y : ClosedLoop::simulate(loop, 150)) {
        QVERIFY(d.peer().write(sampleFrame(0, float(y), 100)));
        QTest::qWait(10);
    }
    d.click("buttonStart");
    d.click("buttonIdentify");
    auto *model = d.child<QTableWidget>("tableModel");
    auto *suggestions = d.child<QTableWidget>("tableSuggestions");
    QTRY_VERIFY2_WITH_TIMEOUT(model->item(0, 3)->text().endsWith('%'),
                              qPrintable(model->item(0, 0)->text()), 10000);
    for (int row = 0; row < 3; ++row)
        QVERIFY(suggestions->item(row, 1)->text().toDouble() > 0);

    suggestions->setCurrentCell(1, 0);
    QTRY_VERIFY(!d.chart()->prediction()->points(0).isEmpty());
    // The analysis dock's step chart shows it too.
    d.window().findChild<QAction *>(QStringLiteral("actionAnalysis"))->trigger();
    QTRY_VERIFY(!d.child<StepChart>("chartStep")->points(3).isEmpty());
    d.peer().readFor(50);
    d.click("buttonApplySuggestion");
    const QByteArray frames = d.peer().read(3 * FrameSize);
    QCOMPARE(frames.size(), 3 * FrameSize);
    for (int k = 0; k < 3; ++k) {
        const char *frame = frames.constData() + k * FrameSize;
        QCOMPARE(int(quint8(frame[1])), CmdP + k);
        QCOMPARE(int(quint8(frame[2])), int(DirWrite));
        QCOMPARE(QString::number(double(commandValue(frame)), 'g', 4),
                 suggestions->item(1, 1 + k)->text());
    }
    QCOMPARE(d.status(), QStringLiteral("已写入建议（均衡）"));
}

QTEST_MAIN(TuningDockTest)
#include "tst_tuningdock.moc"
