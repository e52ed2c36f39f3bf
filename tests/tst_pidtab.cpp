// The PID tab through the real window, a real pseudo-terminal playing the board: the link's
// wiring to the widgets, a line that goes away, the controls beside the chart, and the CSV
// export and import.
#include "app/mainwindow.h"
#include "chart/chartcontrols.h"
#include "pidlink/parameterpanel.h"
#include "pidlink/pidlink.h"
#include "tests/support/axisrange.h"
#include "tests/support/modaldriver.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {
constexpr int Patience = 5000; // ms; generous for a loaded machine
const QByteArray startFrame = hex("43 07 00 00 00 00 00 00 00 0a");
const QByteArray stopFrame = hex("43 08 00 00 00 00 00 00 00 0a");
const char *const parameterButtons[] = {"buttonPRead",  "buttonIRead",  "buttonDRead",
                                        "buttonARead",  "buttonTRead",  "buttonPWrite",
                                        "buttonIWrite", "buttonDWrite", "buttonTWrite"};

// What a drag of the handle does: the bar is held while its position changes.
void dragTo(QScrollBar *bar, int position)
{
    if (bar->sliderPosition() == position)
        bar->setValue(position == bar->minimum() ? bar->maximum() : bar->minimum());
    bar->setSliderDown(true);
    bar->setSliderPosition(position);
    bar->setSliderDown(false);
}
} // namespace

class PidTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void linkWiring();
    void unplugDuringRun();
    void startWithoutClicks();

    void scrollBars_data();
    void scrollBars();
    void barModes();
    void handleForView_data();
    void handleForView();
    void pauseTextsAcrossStopAndStart();

    void roundTrip();
    void fileFailures_data();
    void fileFailures();
    void importCounts();

private:
    bool openBoard()
    {
        d->openPid();
        return d->portOpen();
    }
    QByteArray fromProgram() { return d->peer().read(FrameSize, Patience).toHex(' '); }
    QByteArray nothingMore() { return d->peer().readFor(50); }
    QString text(const char *name) const { return d->child<QLineEdit>(name)->text(); }
    void verifyRun(bool running)
    {
        QCOMPARE(d->child<QPushButton>("buttonStart")->text(),
                 running ? QStringLiteral("停止") : QStringLiteral("开始"));
        QCOMPARE(d->chart()->isRefreshing(), running);
        QCOMPARE(d->child("buttonPause")->isEnabled(), running);
        for (const char *name : {"buttonExport", "buttonInport", "checkStringMode"})
            QVERIFY2(d->child(name)->isEnabled() == !running, name);
    }
    // Sends the board's bytes followed by a channel 4 sample and waits until that is plotted,
    // so everything before it has been handled.
    void sendAndSettle(const QByteArray &bytes)
    {
        QVERIFY(d->peer().write(bytes + sampleFrame(3, 0, 0)));
        ++sentinels;
        QTRY_COMPARE_WITH_TIMEOUT(d->chart()->sampleCounts().at(3), sentinels, Patience);
    }

    void appendChannel1(int samples)
    {
        for (int i = 0; i < samples; ++i)
            d->chart()->append(0, 1, 1);
    }
    QString x() const { return range(d->chart()->horizontalAxis()); }

    QString exported() const { return dir->filePath(QStringLiteral("Export.csv")); }
    void exportTo(const QString &folder)
    {
        modal->answerFileDialog(folder);
        d->click("buttonExport");
    }
    void import(const QString &file, std::function<void()> afterAccept = {})
    {
        modal->answerFileDialog(file, std::move(afterAccept));
        d->click("buttonInport");
    }

    std::unique_ptr<WindowDriver> d;
    std::unique_ptr<ModalDriver> modal;
    std::unique_ptr<QTemporaryDir> dir;
    quint32 sentinels = 0;
};

void PidTabTest::init()
{
    d = std::make_unique<WindowDriver>();
    modal = std::make_unique<ModalDriver>();
    dir = std::make_unique<QTemporaryDir>();
    sentinels = 0;
    QVERIFY(d->child("hScrollBar")->isVisible()); // the PID tab is the one shown
}

void PidTabTest::cleanup()
{
    QVERIFY2(modal->problems.isEmpty(), qPrintable(modal->problems.join("; ")));
    d.reset();
    modal.reset();
    dir.reset();
}

// What the link writes and reports reaches the line, the fields, the run's widgets and the
// status bar; the verify box and the read deadline reach the parameter fields; closing ends the
// run and the next opening counts afresh.
void PidTabTest::linkWiring()
{
    QVERIFY(openBoard());
    auto *health = d->child<QLabel>("labelLinkHealth");
    auto *run = d->child<QPushButton>("buttonStart");
    QVERIFY(health->isVisible());
    // The channel chosen goes in byte 3; a write reports, a read does not.
    d->click("radioCH3");
    QCOMPARE(d->status(), QStringLiteral("选择3通道"));
    d->typeInto("editP", "1.5");
    d->click("buttonPWrite");
    QCOMPARE(fromProgram(), QByteArray("43 01 01 02 00 00 00 c0 3f 0a"));
    QCOMPARE(d->status(), QStringLiteral("已发送P"));
    d->click("buttonARead");
    QCOMPARE(fromProgram(), QByteArray("43 06 00 02 00 00 00 00 00 0a"));
    QCOMPARE(d->status(), QStringLiteral("已发送P"));

    // The board's value, its read request answered from the field, noise.
    sendAndSettle(hex("43 04 01 02 00 cd cc cc 3d 0a"));
    QCOMPARE(text("editTarget"), QStringLiteral("0.1"));
    QCOMPARE(d->status(), QStringLiteral("成功接收目标值"));
    sendAndSettle(hex("43 01 00 02 00 00 00 00 00 0a"));
    QCOMPARE(fromProgram(), QByteArray("43 01 01 00 00 00 00 c0 3f 0a"));
    QCOMPARE(d->status(), QStringLiteral("成功发送P"));
    sendAndSettle("xyz");
    QCOMPARE(d->status(), QStringLiteral("数据帧头错误"));
    QTRY_COMPARE_WITH_TIMEOUT(health->text(), QStringLiteral("帧 5 · 丢弃 3 字节 · 重同步 1"),
                              Patience);

    // A write read back and confirmed; a read left unanswered (the cases: tst_pidlink).
    d->typeInto("editP", "2");
    d->click("checkVerifyWrite");
    d->click("buttonPWrite");
    QCOMPARE(d->peer().read(2 * FrameSize, Patience),
             hex("43 01 01 02 00 00 00 00 40 0a 43 01 00 02 00 00 00 00 00 0a"));
    sendAndSettle(hex("43 01 01 02 00 00 00 00 40 0a"));
    QCOMPARE(d->status(), QStringLiteral("成功接收P，校验通过"));
    d->click("buttonIRead");
    QCOMPARE(fromProgram(), QByteArray("43 02 00 02 00 00 00 00 00 0a"));
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("读取超时：板子未应答"), Patience);

    // The board starts the run, the user stops and starts it.
    sendAndSettle(startFrame);
    QCOMPARE(d->status(), QStringLiteral("成功接收到开始指令，开始运行"));
    QCOMPARE(fromProgram(), startFrame.toHex(' '));
    verifyRun(true);
    for (const bool running : {false, true}) {
        d->click("buttonStart");
        QCOMPARE(fromProgram(), (running ? startFrame : stopFrame).toHex(' '));
        QCOMPARE(d->status(),
                 running ? QStringLiteral("开始PID调试") : QStringLiteral("停止PID调试"));
        verifyRun(running);
    }
    // Closing mid-run ends the run without a frame (every order of starts, stops and
    // reopenings: tst_pidlink's runControl).
    d->click("buttonOpenportPID");
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QVERIFY(!run->isEnabled() && !d->chart()->isRefreshing() && !health->isVisible());
    QCOMPARE(nothingMore(), QByteArray());
    d->click("buttonPWrite");
    QCOMPARE(d->status(), QStringLiteral("串口未打开，发送失败"));
    QVERIFY(openBoard());
    QCOMPARE(health->text(), QStringLiteral("帧 0 · 丢弃 0 字节 · 重同步 0"));

    // String mode: the parameter buttons locked, lines plotted, the label counts lines.
    d->click("checkStringMode");
    QCOMPARE(d->status(), QStringLiteral("更改接收协议"));
    for (const char *name : parameterButtons)
        QVERIFY2(!d->child(name)->isEnabled(), name);
    QVERIFY(d->peer().write("1,2,3,4,5,6,7,8\n1,2\n"));
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("数据格式错误，接收失败"), Patience);
    QCOMPARE(d->chart()->allPoints().at(7).constLast().y(), 8.0);
    QTRY_COMPARE_WITH_TIMEOUT(health->text(), QStringLiteral("行 1 · 格式错误 1 · 丢弃 0 字符"),
                              Patience);
    d->click("checkStringMode");
    for (const char *name : parameterButtons)
        QVERIFY2(d->child(name)->isEnabled(), name);
}

// An adapter pulled out during a run and a new one plugged in: the port is closed with a
// message, the run ended, and the half frame the old line left is not glued to the new line's
// first bytes (string mode's half line: tst_pidlink's lineGoneMidFrame).
void PidTabTest::unplugDuringRun()
{
    PID_Diagram *chart = d->chart();
    d->openPid();
    d->click("buttonStart");
    const QByteArray sent = sampleFrame(0, 1, 1) + sampleFrame(0, 1, 2).left(5);
    QSignalSpy read(d->window().pidLink(), &PidLink::bytesRead);
    QVERIFY(d->peer().write(sent));
    QTRY_COMPARE_WITH_TIMEOUT(chart->samplesAppended(), quint64(1), Patience);
    // The half frame must have reached the program too, or there is nothing to forget.
    const auto bytesRead = [&read] {
        int n = 0;
        for (const QList<QVariant> &call : read)
            n += call.at(0).toByteArray().size();
        return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(bytesRead(), sent.size(), Patience);

    d->peer().hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("串口已断开"), Patience);
    QCOMPARE(d->child<QPushButton>("buttonOpenportPID")->text(), QStringLiteral("打开串口"));
    QCOMPARE(d->child<QPushButton>("buttonStart")->text(), QStringLiteral("开始"));
    QVERIFY(!d->child("buttonStart")->isEnabled() && !chart->isRefreshing());
    QVERIFY(!d->portOpen());

    // A new adapter at a new path, opened through the widgets, and the run started again.
    PseudoTerminal board;
    d->openPid(board.slavePath());
    d->click("buttonStart");
    QCOMPARE(board.read(FrameSize, Patience), startFrame);
    QVERIFY(board.write(sampleFrame(1, 5, 6)));
    QTRY_COMPARE_WITH_TIMEOUT(chart->samplesAppended(), quint64(2), Patience);
    QCOMPARE(chart->allPoints().at(2).constLast().y(), 5.0);
    QCOMPARE(chart->allPoints().at(3).constLast().y(), 6.0);
    QTRY_COMPARE_WITH_TIMEOUT(d->child<QLabel>("labelLinkHealth")->text(),
                              QStringLiteral("帧 1 · 丢弃 0 字节 · 重同步 0"), Patience);
    QCOMPARE(chart->samplesAppended(), quint64(2));
}

// --run from the other tab: a device that does not open is refused with the status bar's
// reason; the pseudo-terminal is opened and sees the start frame, and its samples are drawn.
void PidTabTest::startWithoutClicks()
{
    d->showTab("tabUSART");
    QString reason;
    d->window().usePort(QStringLiteral("/dev/tavrino-missing"));
    QVERIFY(!d->window().startPidRun(&reason));
    QVERIFY(d->child("hScrollBar")->isVisible() && !reason.isEmpty());
    QCOMPARE(d->status(), QStringLiteral("打开失败！") + reason);
    QVERIFY(!d->portOpen() && !d->chart()->isRefreshing());
    d->window().usePort(d->peer().slavePath());
    QVERIFY(d->window().startPidRun(&reason));
    QCOMPARE(fromProgram(), startFrame.toHex(' '));
    verifyRun(true);
    sendAndSettle(sampleFrame(0, 2, 3) + sampleFrame(0, 4, 5));
    QCOMPARE(d->chart()->sampleCounts().at(0), 2u);
}

void PidTabTest::scrollBars_data()
{
    QTest::addColumn<int>("scrollTo");  // the horizontal bar in scroll mode first; 0: not moved
    QTest::addColumn<bool>("zoomMode"); // then switched to zoom mode
    QTest::addColumn<int>("position");  // for the horizontal bar, or the vertical one if negative
    QTest::addColumn<QString>("range"); // of the axis that bar moves
    // 1000 samples on channel 1, initial fraction 0.4.
    QTest::newRow("scroll start shows newest") << 0 << false << 1 << "(599.4, 999.4)";
    QTest::newRow("zoom floor of 1 %") << 500 << true << 5 << "(495, 505)";
    QTest::newRow("zoom out to all") << 500 << true << 1000 << "(0, 1000)";
    QTest::newRow("zoom keeps newest end") << 1 << true << 100 << "(899.1, 999.1)";
    // The vertical bar's range is widened to round ticks.
    QTest::newRow("vertical top") << 0 << false << -1 << "(-1000, 1000)";
    QTest::newRow("vertical below the floor") << 0 << false << -995 << "(-10, 10)";
}

void PidTabTest::scrollBars()
{
    QFETCH(int, scrollTo);
    QFETCH(bool, zoomMode);
    QFETCH(int, position);
    appendChannel1(1000);
    auto *bar = d->child<QScrollBar>("hScrollBar");
    if (scrollTo > 0)
        dragTo(bar, scrollTo);
    if (zoomMode)
        d->click("checkSwitch");
    if (position > 0)
        dragTo(bar, position);
    else
        dragTo(d->child<QScrollBar>("vScrollBar"), -position);
    QTEST(range(position > 0 ? d->chart()->horizontalAxis() : d->chart()->verticalAxis()), "range");
}

void PidTabTest::barModes()
{
    appendChannel1(1000);
    auto *bar = d->child<QScrollBar>("hScrollBar");
    dragTo(bar, 500);
    QCOMPARE(x(), QStringLiteral("(300, 700)"));

    // The handle follows the view: a switch shows the visible share, then the position.
    d->click("checkSwitch");
    QCOMPARE(d->status(), QStringLiteral("更改横向滚动条功能"));
    QCOMPARE(bar->value(), 400);
    QCOMPARE(x(), QStringLiteral("(300, 700)"));
    dragTo(bar, 100); // zoom: a tenth around the kept position
    QCOMPARE(x(), QStringLiteral("(450, 550)"));

    d->click("checkSwitch");
    QCOMPARE(bar->value(), 500);
    QCOMPARE(x(), QStringLiteral("(450, 550)"));
    dragTo(bar, 1000); // scroll again, with the zoomed width
    QCOMPARE(x(), QStringLiteral("(0, 100)"));
    // Whatever else moves the view moves the handle; a step beside it moves the view.
    d->chart()->showRange(800, 900, -1, 1);
    QCOMPARE(bar->value(), 111);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(x(), QStringLiteral("(899.1, 999.1)"));
    QCOMPARE(bar->value(), 1);

    // Auto-scroll mode locks both bars.
    for (const bool on : {true, false}) {
        d->click("checkAuto");
        QCOMPARE(d->status(),
                 on ? QStringLiteral("自动滚屏模式开启") : QStringLiteral("自动滚屏模式关闭"));
        QCOMPARE(d->chart()->autoScroll, on);
        QCOMPARE(d->child("hScrollBar")->isEnabled(), !on);
        QCOMPARE(d->child("vScrollBar")->isEnabled(), !on);
    }
}

void PidTabTest::handleForView_data()
{
    QTest::addColumn<QVector<double>>("view"); // xMin, xMax, first held, end
    QTest::addColumn<bool>("zoom");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pageStep"); // handle share pageStep / (999 + pageStep)
    QTest::newRow("newest end") << QVector<double>{600, 1000, 0, 1000} << false << 1 << 666;
    QTest::newRow("oldest end") << QVector<double>{0, 400, 0, 1000} << false << 1000 << 666;
    QTest::newRow("middle, long history")
        << QVector<double>{5450, 5550, 5000, 6000} << false << 500 << 111;
    QTest::newRow("zoom shows the share") << QVector<double>{0, 100, 0, 1000} << true << 100 << 111;
    QTest::newRow("all in view, handle stays")
        << QVector<double>{0, 1000, 0, 1000} << false << 0 << 1000000;
    QTest::newRow("nothing held") << QVector<double>{0, 200, 0, 0} << false << 0 << 0;
}

void PidTabTest::handleForView()
{
    QFETCH(QVector<double>, view);
    QFETCH(bool, zoom);
    const ChartControls::Handle h =
        ChartControls::handleFor(view[0], view[1], view[2], view[3], zoom);
    QTEST(h.value, "value");
    QTEST(h.pageStep, "pageStep");
}

// The text tracks its own toggle, not the run: a stop and start keep "继续".
void PidTabTest::pauseTextsAcrossStopAndStart()
{
    auto *pause = d->child<QPushButton>("buttonPause");
    // What starting a run does to the chart and the button.
    d->chart()->startRefresh(20);
    pause->setEnabled(true);
    appendChannel1(250);
    QTRY_COMPARE_WITH_TIMEOUT(x(), QStringLiteral("(50, 250)"), Patience);

    d->click("buttonPause");
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    appendChannel1(50);
    QTest::qWait(300); // several ticks' worth: a paused chart must not follow
    QCOMPARE(x(), QStringLiteral("(50, 250)"));

    d->chart()->stopRefresh();
    d->chart()->startRefresh(20);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    QTRY_COMPARE_WITH_TIMEOUT(x(), QStringLiteral("(100, 300)"), Patience);

    d->click("buttonPause");
    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    appendChannel1(100);
    QTRY_COMPARE_WITH_TIMEOUT(x(), QStringLiteral("(200, 400)"), Patience);
    d->chart()->stopRefresh();
}

// Export, clear, import, export again: the second file is the first, byte for byte. The history
// is longer than the default, written and read back in slices with progress; the import raises
// the history length to hold it and pads every channel to the longest, and a cancelled import
// keeps what it read.
void PidTabTest::roundTrip()
{
    const quint32 rows = 1000100;
    d->chart()->setHistoryLength(10000000);
    for (quint32 i = 0; i < rows; ++i)
        d->chart()->append(0, float(i), 0);
    // Ragged channels, values spread over many magnitudes so both number forms occur.
    QRandomGenerator random(7);
    const auto value = [&random] {
        return float((random.generateDouble() * 2 - 1) * std::pow(10.0, random.bounded(-8, 9)));
    };
    for (const int c : {1, 3})
        for (int i = 0; i < 45 + c; ++i)
            d->chart()->append(c, value(), value());
    exportTo(dir->path());
    QCOMPARE(d->status(), QStringLiteral("导出成功！"));
    const QByteArray first = readFile(exported());
    QCOMPARE(first.count('\n'), int(rows));

    d->click("buttonClear");
    QCOMPARE(d->chart()->sampleCounts(), QVector<quint32>(4, 0));
    d->chart()->setHistoryLength(PID_Diagram::SampleCap);
    QSignalSpy raised(d->chart(), &PID_Diagram::historyLengthChanged);
    import(exported());
    QCOMPARE(d->status(), QStringLiteral("成功导入1000100个点，跳过0行"));
    QCOMPARE(d->chart()->sampleCounts(), QVector<quint32>(4, rows));
    QCOMPARE(d->chart()->historyLength(), 10000000u);
    QCOMPARE(raised.count(), 3); // to 100,000, 1,000,000, then 10,000,000
    QCOMPARE(d->chart()->samples().series(0).y(999999), 999999.0f);
    QTemporaryDir second;
    exportTo(second.path());
    QCOMPARE(readFile(second.filePath(QStringLiteral("Export.csv"))), first);

    d->click("buttonClear");
    modal->cancelProgress = true;
    import(exported());
    const quint32 kept = d->chart()->sampleCounts().at(0);
    QVERIFY2(kept > 0 && kept < rows, qPrintable(d->status()));
    QCOMPARE(d->status(), QStringLiteral("导入已取消，已导入%1个点，跳过0行").arg(kept));
}

void PidTabTest::fileFailures_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QString>("obstacle"); // "cancel": the dialog is cancelled
    QTest::addColumn<QString>("message");  // how the status starts
    const QString exportFailed = QStringLiteral("导出失败！"),
                  importFailed = QStringLiteral("导入失败！"),
                  special = QStringLiteral("不是普通文件");
    QTest::newRow("export cancelled") << true << "cancel" << exportFailed;
    QTest::newRow("import cancelled") << false << "cancel" << importFailed;
    QTest::newRow("Export.csv is a folder") << true << "folder" << exportFailed + special;
    // Full disks, FIFOs, devices and files too large: tst_files' exportInSlices and reading.
    QTest::newRow("file gone after choosing") << false << "gone" << importFailed;
}

// Nothing written, nothing added to the chart; only a cancelled dialog brings up the box.
void PidTabTest::fileFailures()
{
    QFETCH(bool, exporting);
    QFETCH(QString, obstacle);
    QFETCH(QString, message);
    const QString path = dir->filePath(QStringLiteral("data.csv"));
    std::function<void()> afterAccept;
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Export.csv")));
    } else if (obstacle == QLatin1String("gone")) {
        QVERIFY(writeFile(path, "1,2,3,4,5,6,7,8,\n"));
        afterAccept = [path] { QFile::remove(path); };
    }
    const QString answer = obstacle == QLatin1String("cancel") ? QString()
                           : exporting                         ? dir->path()
                                                               : path;
    appendChannel1(2);
    exporting ? exportTo(answer) : import(answer, afterAccept);
    QCOMPARE(modal->fileDialogs, 1);
    QVERIFY2(d->status().startsWith(message), qPrintable(d->status()));
    QCOMPARE(d->chart()->sampleCounts(), (QVector<quint32>{2, 0, 0, 0}));
    if (answer.isEmpty()) {
        QVERIFY(QDir(dir->path()).isEmpty());
        QCOMPARE(modal->boxes.size(), 1);
        const ModalDriver::Box box = modal->boxes.at(0);
        QCOMPARE(box.title, QStringLiteral("警告"));
        QCOMPARE(box.text, QStringLiteral("非法路径， 请选择合法路径！"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QCOMPARE(box.icon, QMessageBox::Critical);
    } else {
        QVERIFY(modal->boxes.isEmpty());
    }
}

// A recording: its samples in order, channel by channel; only what was imported is counted,
// and what was skipped is said (other files: tst_codecs' csvDecodes, tst_recording's decodeRows).
void PidTabTest::importCounts()
{
    const QString path = dir->filePath(QStringLiteral("data.csv"));
    QVERIFY(
        writeFile(path, "time_ms,channel,actual,target\n0,1,1.5,2\n5,3,7,8\n\n9,1,2.5,3\n12,4,1"));
    import(path);
    QCOMPARE(d->status(), QStringLiteral("成功导入3个点，跳过1行"));
    QCOMPARE(d->chart()->sampleCounts(), (QVector<quint32>{2, 0, 1, 0}));
}

QTEST_MAIN(PidTabTest)
#include "tst_pidtab.moc"
