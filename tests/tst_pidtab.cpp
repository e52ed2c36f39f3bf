// The PID tab through the real window, a real pseudo-terminal playing the board: the link's
// commands and frames, the controls beside the chart, and the CSV export and import.
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
#include <QtCharts/QLineSeries>
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
using Channels = QVector<QVector<QPair<float, float>>>; // (actual, target) per sample

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

Q_DECLARE_METATYPE(Channels)

class PidTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void commandBytes_data();
    void commandBytes();
    void startAndStop();
    void boardCommands_data();
    void boardCommands();
    void boardStartAndStop();
    void samplesThroughNoise();
    void stringMode();

    void scrollBars_data();
    void scrollBars();
    void barModes();
    void pauseTextsAcrossStopAndStart();
    void channelsHiddenAndShown();

    void exportWritesChart();
    void roundTripGivesSameBytes();
    void importAppendsRows();
    void fileFailures_data();
    void fileFailures();

private:
    bool openBoard()
    {
        d->openPid();
        return d->portOpen();
    }
    QByteArray fromProgram() { return d->peer().read(FrameSize, Patience).toHex(' '); }
    QByteArray nothingMore() { return d->peer().readFor(50); }
    // The field that shows an operation's value.
    static const char *fieldOf(int op)
    {
        const char *const fields[] = {"",           "editP", "editI",     "editD",
                                      "editTarget", "",      "editActual"};
        return fields[op];
    }
    // Sends the board's bytes followed by a channel 4 sample and waits until that is plotted,
    // so everything before it has been handled.
    void sendAndSettle(const QByteArray &bytes)
    {
        QVERIFY(d->peer().write(bytes + sampleFrame(3, 0, 0)));
        ++sentinels;
        QTRY_COMPARE_WITH_TIMEOUT(d->chart()->sampleCounts().at(3), sentinels, Patience);
    }

    void appendChannel1(int samples) { fill({QVector<QPair<float, float>>(samples, {1, 1})}); }
    QString x() const { return range(d->chart()->horizontalAxis()); }

    void fill(const Channels &channels)
    {
        for (int c = 0; c < channels.size(); ++c) {
            for (const auto &sample : channels[c]) {
                d->chart()->appendActual(c, sample.first);
                d->chart()->appendTarget(c, sample.second);
            }
        }
    }
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

void PidTabTest::commandBytes_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("text"); // typed into the button's field; null: a read
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown"); // empty: the channel message stays
    const auto row = [](const char *button, const char *text, const char *bytes,
                        const char *shown = "") {
        QTest::newRow(button) << QByteArray(button) << QString(text) << hex(bytes)
                              << QString(shown);
    };
    // The channel chosen is the one byte 3 names.
    row("buttonPWrite", "1.5", "43 01 01 02 00 00 00 c0 3f 0a", "已发送P");
    row("buttonIWrite", "abc", "43 02 01 00 00 00 00 00 00 0a", "已发送I");
    row("buttonDWrite", "-0.25", "43 03 01 03 00 00 00 80 be 0a", "已发送D");
    row("buttonTWrite", "100", "43 04 01 01 00 00 00 c8 42 0a", "已发送目标值");
    row("buttonPRead", nullptr, "43 01 00 01 00 00 00 00 00 0a");
    row("buttonIRead", nullptr, "43 02 00 03 00 00 00 00 00 0a");
    row("buttonDRead", nullptr, "43 03 00 02 00 00 00 00 00 0a");
    row("buttonTRead", nullptr, "43 04 00 00 00 00 00 00 00 0a");
    row("buttonARead", nullptr, "43 06 00 00 00 00 00 00 00 0a");
}

void PidTabTest::commandBytes()
{
    QVERIFY(openBoard());
    QFETCH(QByteArray, button);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QByteArray channel = QByteArray::number(bytes.at(3) + 1);
    const QString selected = QStringLiteral("选择%1通道").arg(QString(channel));
    d->click("radioCH" + channel);
    QCOMPARE(d->status(), selected);
    if (!text.isNull())
        d->typeInto(fieldOf(bytes.at(1)), text);
    d->click(button.constData());
    QCOMPARE(fromProgram(), bytes.toHex(' '));
    QCOMPARE(d->status(), shown.isEmpty() ? selected : shown);
}

void PidTabTest::startAndStop()
{
    QVERIFY(openBoard());
    d->click("radioCH3"); // start and stop carry channel 0 whatever is selected
    for (const bool running : {true, false}) {
        d->click("buttonStart");
        QCOMPARE(fromProgram(), (running ? startFrame : stopFrame).toHex(' '));
        QCOMPARE(d->status(),
                 running ? QStringLiteral("开始PID调试") : QStringLiteral("停止PID调试"));
        QCOMPARE(d->child<QPushButton>("buttonStart")->text(),
                 running ? QStringLiteral("停止") : QStringLiteral("开始"));
        QCOMPARE(d->chart()->isRefreshing(), running);
        QCOMPARE(d->child("buttonPause")->isEnabled(), running);
        for (const char *name : {"buttonExport", "buttonInport", "checkStringMode"})
            QVERIFY2(d->child(name)->isEnabled() == !running, name);
    }

    // Closing the port mid-run ends the run; the stop frame finds the port closed.
    d->click("buttonStart");
    QCOMPARE(fromProgram(), startFrame.toHex(' '));
    d->click("buttonOpenportPID");
    QCOMPARE(d->child<QPushButton>("buttonStart")->text(), QStringLiteral("开始"));
    QVERIFY(!d->child("buttonStart")->isEnabled());
    QVERIFY(!d->chart()->isRefreshing());
    QCOMPARE(nothingMore(), QByteArray());
    // With the port closed every parameter button says so, each on its own.
    for (const char *name : parameterButtons) {
        d->window().statusBar()->clearMessage();
        d->click(name);
        QVERIFY2(d->status() == QStringLiteral("串口未打开，发送失败"), name);
    }
}

void PidTabTest::boardCommands_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");  // then in the operation's field; null: left alone
    QTest::addColumn<QString>("shown"); // empty: the status bar is left alone
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *name, const char *bytes, const char *text, const char *shown,
                        const char *reply = "") {
        QTest::newRow(name) << hex(bytes) << QString(text) << QString(shown) << hex(reply);
    };
    row("P value", "43 01 01 00 00 00 00 20 40 0a", "2.5", "成功接收P");
    row("I value of CH4, the one field", "43 02 01 03 00 00 00 0a 41 0a", "8.625", "成功接收I");
    row("D value, direction 2", "43 03 02 00 00 00 00 80 3f 0a", "1", "成功接收D");
    row("target value", "43 04 01 00 00 cd cc cc 3d 0a", "0.1", "成功接收目标值");
    row("actual value", "43 06 01 00 00 00 00 48 c2 0a", "-50", "成功接收实际值");
    // A read request is answered with the number in the program's field (P starts at 1.0).
    row("P read request", "43 01 00 00 00 00 00 00 00 0a", "1.0", "成功发送P",
        "43 01 01 00 00 00 00 80 3f 0a");
    row("I read request", "43 02 00 02 00 00 00 00 00 0a", "0", "成功发送I",
        "43 02 01 00 00 00 00 00 00 0a");
    row("D read request", "43 03 00 00 00 00 00 00 00 0a", "0", "成功发送D",
        "43 03 01 00 00 00 00 00 00 0a");
    row("target read request", "43 04 00 00 00 00 00 00 00 0a", "0", "成功发送目标值",
        "43 04 01 00 00 00 00 00 00 0a");
    row("actual read request ignored", "43 06 00 00 00 00 00 00 00 0a", nullptr, "");
    row("unused operation", "43 05 01 00 00 00 00 80 3f 0a", nullptr, "");
    row("bad first byte", "44 01 01 00 00 00 00 20 40 0a", nullptr, "数据帧头错误");
    row("bad terminator", "30 00 00 c0 3f 00 00 00 40 0d", nullptr, "校验错误");
}

void PidTabTest::boardCommands()
{
    QVERIFY(openBoard());
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QByteArray, reply);
    const QString before = d->status();
    sendAndSettle(bytes);
    if (!text.isNull())
        QCOMPARE(d->child<QLineEdit>(fieldOf(bytes.at(1)))->text(), text);
    QCOMPARE(d->status(), shown.isEmpty() ? before : shown);
    QCOMPARE(reply.isEmpty() ? nothingMore() : fromProgram(), reply.toHex(' '));
    // Nothing but the sentinel behind it reached the chart.
    QCOMPARE(d->chart()->sampleCounts().at(0), 0u);
}

void PidTabTest::boardStartAndStop()
{
    QVERIFY(openBoard());
    auto *run = d->child<QPushButton>("buttonStart");
    const QString started = QStringLiteral("成功接收到开始指令，开始运行");
    const QString stopped = QStringLiteral("成功接收到停止指令，停止运行");
    sendAndSettle(stopFrame); // a stop before any start only reports
    QCOMPARE(d->status(), stopped);
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QCOMPARE(nothingMore(), QByteArray());

    sendAndSettle(startFrame);
    QCOMPARE(d->status(), started);
    QCOMPARE(run->text(), QStringLiteral("停止"));
    QVERIFY(d->chart()->isRefreshing());
    QCOMPARE(fromProgram(), startFrame.toHex(' '));

    sendAndSettle(startFrame); // already running by the board's word: only the message
    QCOMPARE(run->text(), QStringLiteral("停止"));
    QCOMPARE(nothingMore(), QByteArray());

    sendAndSettle(stopFrame);
    QCOMPARE(d->status(), stopped);
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QVERIFY(!d->chart()->isRefreshing());
    QCOMPARE(fromProgram(), stopFrame.toHex(' '));
}

void PidTabTest::samplesThroughNoise()
{
    QVERIFY(openBoard());
    auto *health = d->child<QLabel>("labelLinkHealth");
    QVERIFY(health->isVisible());
    // A stream joined mid-frame, noise between frames, a value holding 0x0A, a frame split
    // over two writes, and a burst far larger than one old-style 200-byte read.
    const QByteArray first = sampleFrame(0, 1.5f, 2.0f);
    QByteArray burst;
    for (int i = 0; i < 600; ++i)
        burst += sampleFrame(1, float(i), 8.625f);
    QVERIFY(d->peer().write(first.mid(3) + sampleFrame(0, 8.625f, 1.0f) + "xyz" + first.left(4)));
    QVERIFY(d->peer().write(first.mid(4) + burst));
    sendAndSettle(QByteArray());

    const QVector<QVector<QPointF>> points = d->chart()->allPoints();
    QCOMPARE(points.at(0), (QVector<QPointF>{{0, 8.625}, {1, 1.5}}));
    QCOMPARE(points.at(1), (QVector<QPointF>{{1, 1.0}, {2, 2.0}}));
    QCOMPARE(points.at(2).size(), 600);
    QCOMPARE(points.at(2).last().y(), 599.0);
    QCOMPARE(d->status(), QStringLiteral("数据帧头错误"));
    QTRY_COMPARE_WITH_TIMEOUT(health->text(), QStringLiteral("帧 603 · 丢弃 10 字节 · 重同步 2"),
                              Patience);
    d->click("buttonOpenportPID");
    QVERIFY(!health->isVisible());
}

void PidTabTest::stringMode()
{
    QVERIFY(openBoard());
    // Half a frame before the switch waits for its rest after switching back.
    const QByteArray frame = sampleFrame(2, 7.0f, 8.0f);
    QVERIFY(d->peer().write(frame.left(5)));
    QTest::qWait(50);

    d->click("checkStringMode");
    QCOMPARE(d->status(), QStringLiteral("更改接收协议"));
    for (const char *name : parameterButtons)
        QVERIFY2(!d->child(name)->isEnabled(), name);

    QVERIFY(d->peer().write("1,2,3,4,5,6,7,8\r\n-1,-2,-3,-4,-5,-6,-7,-8\n1,2"));
    QTRY_COMPARE_WITH_TIMEOUT(d->chart()->sampleCounts().at(3), 2u, Patience);
    QVERIFY(d->peer().write(",3\n"));
    QTRY_COMPARE_WITH_TIMEOUT(d->status(), QStringLiteral("数据格式错误，接收失败"), Patience);
    QCOMPARE(d->chart()->allPoints().at(0), (QVector<QPointF>{{0, 1}, {1, -1}}));
    QCOMPARE(d->chart()->allPoints().at(7), (QVector<QPointF>{{1, 8}, {2, -8}}));
    QTRY_COMPARE_WITH_TIMEOUT(d->child<QLabel>("labelLinkHealth")->text(),
                              QStringLiteral("行 2 · 格式错误 1 · 丢弃 0 字符"), Patience);

    d->click("checkStringMode");
    for (const char *name : parameterButtons)
        QVERIFY2(d->child(name)->isEnabled(), name);
    QVERIFY(d->peer().write(frame.mid(5)));
    QTRY_COMPARE_WITH_TIMEOUT(d->chart()->sampleCounts().at(2), 3u, Patience);
    QCOMPARE(d->chart()->allPoints().at(4).last().y(), 7.0);
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
    QTest::newRow("vertical top") << 0 << false << -1 << "(-999, 999)";
    QTest::newRow("vertical near the floor") << 0 << false << -989 << "(-11, 11)";
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

    d->click("checkSwitch");
    QCOMPARE(d->status(), QStringLiteral("更改横向滚动条功能"));
    QCOMPARE(bar->value(), 1);
    QCOMPARE(x(), QStringLiteral("(300, 700)"));
    dragTo(bar, 100); // zoom: a tenth around the kept position
    QCOMPARE(x(), QStringLiteral("(450, 550)"));

    d->click("checkSwitch");
    QCOMPARE(bar->value(), 1);
    QCOMPARE(x(), QStringLiteral("(450, 550)"));
    dragTo(bar, 1000); // scroll again, with the zoomed width
    QCOMPARE(x(), QStringLiteral("(0, 100)"));

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

// Each box hides and shows its own channel's two series; a hidden channel keeps counting.
void PidTabTest::channelsHiddenAndShown()
{
    const auto shownSeries = [this] {
        QVector<bool> visible;
        for (int i = 0; i < PID_Diagram::SeriesCount; ++i)
            visible << d->chart()->series(i)->isVisible();
        return visible;
    };
    for (int channel = 0; channel < 4; ++channel) {
        const QByteArray box = "checkCH" + QByteArray::number(channel + 1);
        d->click(box.constData());
        QVector<bool> expected(PID_Diagram::SeriesCount, true);
        expected[2 * channel] = expected[2 * channel + 1] = false;
        QCOMPARE(shownSeries(), expected);
        d->chart()->appendActual(channel, 5);
        QCOMPARE(d->chart()->sampleCounts().at(channel), 1u);
        d->click(box.constData());
        QCOMPARE(shownSeries(), QVector<bool>(PID_Diagram::SeriesCount, true));
    }
}

void PidTabTest::exportWritesChart()
{
    QVERIFY(writeFile(exported(), QByteArray(4096, 'x'))); // an older file is replaced
    fill({{{0.1f, 1234567.0f}}, {{-0.00001f, 1.0f / 3.0f}, {7, 8}}, {{-12.5f, 1e5f}}, {}});
    exportTo(dir->path());
    QCOMPARE(modal->fileDialogs, 1);
    QVERIFY(modal->boxes.isEmpty());
    QCOMPARE(d->status(), QStringLiteral("导出成功！"));
    QCOMPARE(readFile(exported()), QByteArray("0.1,1.23457e+06,-1e-05,0.333333,-12.5,100000,0,0,\n"
                                              "0,0,7,8,0,0,0,0,\n"));
}

// Export, clear, import, export again: the second file is the first, byte for byte.
void PidTabTest::roundTripGivesSameBytes()
{
    // Ragged channels, values spread over many magnitudes so both number forms occur.
    QRandomGenerator random(7);
    const auto value = [&random] {
        return float((random.generateDouble() * 2 - 1) * std::pow(10.0, random.bounded(-8, 9)));
    };
    Channels channels(4);
    for (const int c : {0, 1, 3})
        for (int i = 0; i < (c == 1 ? 300 : 45 + c); ++i)
            channels[c].append({value(), value()});
    fill(channels);
    exportTo(dir->path());
    const QByteArray first = readFile(exported());
    QCOMPARE(first.count('\n'), 300);

    d->click("buttonClear");
    QCOMPARE(d->chart()->sampleCounts(), QVector<quint32>(4, 0));
    import(exported());
    QCOMPARE(d->status(), QStringLiteral("成功导入300个点"));
    // Every channel comes back padded to the longest.
    QCOMPARE(d->chart()->sampleCounts(), QVector<quint32>(4, 300));

    QTemporaryDir second;
    exportTo(second.path());
    QCOMPARE(readFile(second.filePath(QStringLiteral("Export.csv"))), first);
}

// Behind what the chart holds; a short line is counted, not added.
void PidTabTest::importAppendsRows()
{
    fill({{{1, 9}}, {{1, 9}}, {{1, 9}}, {{1, 9}}});
    const QString path = dir->filePath(QStringLiteral("data.csv"));
    QVERIFY(writeFile(path, "3,4,0,0,0,0,0,0,\r\n1,2,3,4,5,6,7\r\n5,6,0,0,0,0,0,8,\r\n"));
    import(path);
    QVERIFY(modal->boxes.isEmpty());
    QCOMPARE(d->status(), QStringLiteral("成功导入3个点"));
    QCOMPARE(d->chart()->allPoints().at(0), (QVector<QPointF>{{0, 1}, {1, 3}, {2, 5}}));
    QCOMPARE(d->chart()->allPoints().at(7), (QVector<QPointF>{{1, 9}, {2, 0}, {3, 8}}));
}

void PidTabTest::fileFailures_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QString>("obstacle"); // "cancel": the dialog is cancelled
    QTest::addColumn<QString>("message");
    const QString exportFailed = QStringLiteral("导出失败！"),
                  importFailed = QStringLiteral("导入失败！");
    QTest::newRow("export cancelled") << true << "cancel" << exportFailed;
    QTest::newRow("import cancelled") << false << "cancel" << importFailed;
    QTest::newRow("Export.csv is a folder") << true << "folder" << exportFailed;
    QTest::newRow("disk full") << true << "full" << exportFailed;
    QTest::newRow("file gone after choosing") << false << "gone" << importFailed;
    QTest::newRow("file too large")
        << false << "large" << QStringLiteral("导入失败！文件过大（超过64 MB）");
    QTest::newRow("too many lines")
        << false << "lines" << QStringLiteral("导入失败！文件行数过多（超过1000000行）");
}

// Nothing written, nothing added to the chart; only a cancelled dialog brings up the box.
void PidTabTest::fileFailures()
{
    QFETCH(bool, exporting);
    QFETCH(QString, obstacle);
    const QString path = dir->filePath(QStringLiteral("data.csv"));
    std::function<void()> afterAccept;
    QFile file(path);
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Export.csv")));
    } else if (obstacle == QLatin1String("full")) {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), exported()));
    } else if (obstacle == QLatin1String("gone")) {
        QVERIFY(writeFile(path, "1,2,3,4,5,6,7,8,\n"));
        afterAccept = [path] { QFile::remove(path); };
    } else if (obstacle == QLatin1String("large")) { // sparse: takes no disk space
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(64 * 1024 * 1024 + 1));
    } else if (obstacle == QLatin1String("lines")) {
        QVERIFY(writeFile(path, QByteArray(1000001, '\n')));
    }
    file.close();
    const QString answer = obstacle == QLatin1String("cancel") ? QString()
                           : exporting                         ? dir->path()
                                                               : path;
    fill({{{3, 4}, {5, 6}}, {}, {}, {}});
    exporting ? exportTo(answer) : import(answer, afterAccept);
    QCOMPARE(modal->fileDialogs, 1);
    QTEST(d->status(), "message");
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

QTEST_MAIN(PidTabTest)
#include "tst_pidtab.moc"
