// The response analysis: the run history's texts and CSV file, and through the real window
// and a pseudo-terminal a step's figures in the table, a history row at stop, its export,
// an imported step and the chart's clear.
#include "chart/responseanalysis.h"
#include "tests/support/modaldriver.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int Patience = 5000; // ms; generous for a loaded machine
// p = 0, .5, .9, 1.1, 1.05, then 1: rise 1 sample, peak at 3 (10 % over), settled from 5.
const float response[] = {0, 5, 9, 11, 10.5f, 10, 10, 10, 10, 10};
const QStringList figures{"0 → 10", "1点", "3点", "10.0%", "5点", "0"};
const QStringList none{"—", "—", "—", "—", "—", "—"};

QString historyPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/runs.json");
}

// Arrival times vary from run to run: " (12.3 ms)" becomes " (T)".
QStringList timesHidden(QStringList texts)
{
    for (QString &text : texts)
        text.replace(QRegularExpression(QStringLiteral(" \\([0-9.]+ ms\\)$")),
                     QStringLiteral(" (T)"));
    return texts;
}
// A step from 0 to 10 with these figures.
StepAnalyzer::Figures stepTo10(qint64 rise, double riseMs, double overshoot, qint64 settling,
                               double settlingMs)
{
    StepAnalyzer::Figures f;
    f.y0 = 0;
    f.target = 10;
    f.riseSamples = rise;
    f.riseMs = riseMs;
    f.overshootPercent = overshoot;
    f.settlingSamples = settling;
    f.settlingMs = settlingMs;
    return f;
}
} // namespace

class ResponseAnalysisTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void runHistoryTextsAndCsv();
    void predictionBesideMeasured();
    void stepsThroughTheWindow();
    void historyKeptFilteredAndSorted();
};

void ResponseAnalysisTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(historyPath());
}

void ResponseAnalysisTest::runHistoryTextsAndCsv()
{
    StepAnalyzer::Figures f = stepTo10(1, 2.5, 10, 5, 12.5);
    f.steadyStateError = -0.25;
    const StepAnalyzer::Figures unsettled = [f]() mutable {
        f.riseMs.reset();
        f.settlingSamples.reset();
        f.settlingMs.reset();
        f.steadyStateError.reset();
        return f;
    }();
    RunHistory::ChannelGains gains;
    gains[2] = {1.5f, std::nullopt, 0.05f};
    RunHistory history;
    history.append({{2, f}}, QTime(9, 41, 2), gains);
    history.append({{0, unsettled}}, QTime(23, 0, 0), {});
    QStringList texts;
    for (int column = 0; column < RunHistory::ColumnCount; ++column)
        texts << history.data(history.index(0, column)).toString();
    QCOMPARE(texts, (QStringList{"09:41:02", "CH3", "1.5", "?", "0.05", "10", "1点", "10.0%", "5点",
                                 "-0.25"}));
    QVERIFY(history.data(history.index(0, RunHistory::IColumn), Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("读")));
    history.setTimeUnit(RunHistory::TimeUnit::Milliseconds);
    QCOMPARE(history.text(0, RunHistory::RiseColumn), QStringLiteral("2.5 ms"));
    QCOMPARE(history.text(1, RunHistory::RiseColumn), QStringLiteral("1点")); // no times
    QCOMPARE(history.text(1, RunHistory::SettlingColumn), QStringLiteral("—"));
    // Kept as JSON: the same rows come back; a damaged file changes nothing.
    RunHistory restored;
    QString error;
    QVERIFY(restored.fromJson(history.toJson(), error));
    QCOMPARE(restored.toCsv(), history.toCsv());
    QVERIFY(!restored.fromJson("[{\"channel\":7}]", error) && !error.isEmpty());
    QCOMPARE(restored.size(), 2);
    QCOMPARE(history.toCsv(),
             QByteArray("\xEF\xBB\xBF时间,通道,P,I,D,目标值,上升时间(点),上升时间(ms),超调量(%),"
                        "调节时间(点),调节时间(ms),稳态误差\n"
                        "09:41:02,CH3,1.5,,0.05,10,1,2.5,10,5,12.5,-0.25\n"
                        "23:00:00,CH1,,,,10,1,,10,,,\n"));
    // Beyond the cap the oldest rows go.
    std::vector<StepAnalyzer::FinishedWindow> more(RunHistory::MaxRows - 1, {2, f});
    more.back().channel = 3;
    history.append(more, QTime(), gains);
    QCOMPARE(history.rowCount(), RunHistory::MaxRows);
    QCOMPARE(history.at(0).channel, 0);
    QCOMPARE(history.text(RunHistory::MaxRows - 1, RunHistory::ChannelColumn),
             QStringLiteral("CH4"));
}

void ResponseAnalysisTest::predictionBesideMeasured()
{
    const StepAnalyzer::Figures f = stepTo10(12, 120, 2, 40, 400);
    RunHistory history;
    const QByteArray csvBefore = [&] {
        RunHistory plain;
        plain.append({{1, f}}, QTime(9, 0, 0), {});
        return plain.toCsv();
    }();
    history.expectPrediction(1, RunHistory::Predicted{"均衡", 10, 1.5, std::nullopt, 10.0});
    // An import and another channel leave it for the channel's next live row only.
    history.append({{1, f}}, QTime(8, 0, 0), {}, true);
    history.append({{0, f}, {1, f}, {1, f}}, QTime(9, 0, 0), {});
    QVERIFY(!history.at(0).predicted && !history.at(1).predicted && !history.at(3).predicted);
    QCOMPARE(history.text(2, RunHistory::RiseColumn), QStringLiteral("12点 (10)"));
    QCOMPARE(history.text(2, RunHistory::OvershootColumn), QStringLiteral("2.0% (1.5)"));
    QCOMPARE(history.text(2, RunHistory::SettlingColumn), QStringLiteral("40点 (—)"));
    QVERIFY(history.data(history.index(2, RunHistory::RiseColumn), Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("均衡")));
    history.setTimeUnit(RunHistory::TimeUnit::Milliseconds);
    QCOMPARE(history.text(2, RunHistory::RiseColumn), QStringLiteral("120.0 ms (100)"));
    // Kept across restarts; the export's columns stay as they were.
    RunHistory restored;
    QString error;
    QVERIFY(restored.fromJson(history.toJson(), error));
    QCOMPARE(restored.text(2, RunHistory::RiseColumn), QStringLiteral("12点 (10)"));
    QCOMPARE(history.toCsv().split('\n').at(3), csvBefore.split('\n').at(1));
}

void ResponseAnalysisTest::stepsThroughTheWindow()
{
    WindowDriver d;
    ModalDriver modal;
    QTemporaryDir dir;
    const auto cells = [&d](int row) {
        auto *table = d.child<QTableWidget>("tableStepResponse");
        QStringList texts;
        for (int column = 0; column < table->columnCount(); ++column)
            texts << table->item(row, column)->text();
        return texts;
    };
    QAbstractItemModel *runs = d.child<QTableView>("tableRuns")->model();
    const auto run = [runs](int row) {
        QStringList texts;
        for (int column = RunHistory::ChannelColumn; column < runs->columnCount(); ++column)
            texts << runs->index(row, column).data().toString();
        return timesHidden(texts);
    };

    // The dock shows on the PID tab while the menu asks for it.
    QWidget *dock = d.child("dockAnalysis");
    d.window().findChild<QAction *>(QStringLiteral("actionAnalysis"))->trigger();
    QVERIFY(dock->isVisible());
    d.showTab("tabUSART");
    QVERIFY(!dock->isVisible());
    d.openPid();
    QVERIFY(dock->isVisible() && d.portOpen());

    // P reported by the board, I written by the user, D unknown; a step in a run.
    QVERIFY(d.peer().write(commandFrame(CmdP, DirWrite, 0, 2)));
    d.typeInto("editI", QStringLiteral("0.5"));
    d.click("buttonIWrite");
    d.click("buttonStart");
    for (const float y : response) {
        QVERIFY(d.peer().write(sampleFrame(0, y, 10)));
        d.peer().readFor(5);
    }
    QTRY_COMPARE_WITH_TIMEOUT(cells(0), figures, Patience);
    // The table's times follow the history's unit.
    d.child<QComboBox>("comboRunsUnit")->setCurrentIndex(1);
    QVERIFY(cells(0).at(1).endsWith(QLatin1String(" ms")));
    d.child<QComboBox>("comboRunsUnit")->setCurrentIndex(0);
    QCOMPARE(cells(1), none);
    QCOMPARE(runs->rowCount(), 0);
    // The README's step 5: I = 12 written during the run ends CH1's window with the gains it
    // ran with; what follows until the next run is no step of its own.
    d.typeInto("editI", QStringLiteral("12"));
    d.click("buttonIWrite");
    QCOMPARE(runs->rowCount(), 1);
    QVERIFY(d.peer().write(sampleFrame(0, 10, 10)));
    d.peer().readFor(5);
    d.click("buttonStart");
    QCOMPARE(runs->rowCount(), 1);
    QCOMPARE(run(0), (QStringList{"CH1", "2", "0.5", "?", "10", "1点", "10.0%", "5点", "0"}));
    // Frames still on their way at the stop neither replace the figures nor make a row.
    QVERIFY(d.peer().write(sampleFrame(0, 10.5f, 10) + sampleFrame(0, 10.5f, 10)));
    QTRY_COMPARE_WITH_TIMEOUT(d.chart()->sampleCounts().at(0), 13u, Patience);
    d.peer().readFor(2 * ResponseAnalysis::RefreshIntervalMs);
    QCOMPARE(cells(0).at(4), QStringLiteral("5点"));
    // A chart emptied during a run starts no window: a settled signal's noise is no step.
    d.click("buttonStart");
    QVERIFY(d.peer().write(sampleFrame(0, 10, 10)));
    QTRY_COMPARE_WITH_TIMEOUT(d.chart()->sampleCounts().at(0), 14u, Patience);
    d.click("buttonClear");
    QVERIFY(d.peer().write(sampleFrame(0, 10.01f, 10) + sampleFrame(0, 9.99f, 10)));
    QTRY_COMPARE_WITH_TIMEOUT(d.chart()->sampleCounts().at(0), 2u, Patience);
    d.click("buttonStart");
    QCOMPARE(runs->rowCount(), 1);
    // The next run is credited with I = 12.
    d.click("buttonStart");
    for (const float y : response) {
        QVERIFY(d.peer().write(sampleFrame(0, y, 10)));
        d.peer().readFor(5);
    }
    QTRY_COMPARE_WITH_TIMEOUT(d.chart()->sampleCounts().at(0), 12u, Patience);
    d.click("buttonStart");
    QCOMPARE(runs->rowCount(), 2);
    QCOMPARE(run(1).mid(0, 4), (QStringList{"CH1", "2", "12", "?"}));

    // Export: the history's file; a folder where the file should go loses nothing.
    const QString path = dir.filePath(QStringLiteral("runs.csv"));
    modal.answerFileDialog(path);
    d.click("buttonExportRuns");
    QCOMPARE(readFile(path), d.window().responseAnalysis()->history()->toCsv());
    QCOMPARE(d.status(), QStringLiteral("已导出2条运行记录"));
    modal.answerFileDialog(dir.filePath(QStringLiteral("folder.csv")),
                           [&dir] { QDir(dir.path()).mkdir(QStringLiteral("folder.csv")); });
    d.click("buttonExportRuns");
    QVERIFY2(d.status().startsWith(QStringLiteral("运行记录导出失败：")), qPrintable(d.status()));
    QCOMPARE(runs->rowCount(), 2);
    d.click("buttonClearRuns");
    QCOMPARE(runs->rowCount(), 0);

    // An imported step: no arrival times, no gains.
    QByteArray file;
    for (const float y : response)
        file += QByteArray::number(double(y)) + ",10,0,0,0,0,0,0,\n";
    QVERIFY(writeFile(dir.filePath(QStringLiteral("step.csv")), file));
    modal.answerFileDialog(dir.filePath(QStringLiteral("step.csv")));
    d.click("buttonInport");
    QCOMPARE(cells(0), figures);
    QCOMPARE(run(0), (QStringList{"CH1", "", "", "", "10", "1点", "10.0%", "5点", "0"}));

    d.click("buttonClear");
    QCOMPARE(cells(0), none);
    QVERIFY2(modal.problems.isEmpty(), qPrintable(modal.problems.join("; ")));
}

// Rows outlive the window, the channel box filters them, a header click sorts them, and
// 清空记录 drops them for good.
void ResponseAnalysisTest::historyKeptFilteredAndSorted()
{
    StepAnalyzer::Figures f;
    f.y0 = 0;
    f.target = 10;
    std::vector<StepAnalyzer::FinishedWindow> windows;
    for (const int channel : {1, 3, 1}) {
        f.overshootPercent = 10.0 - channel - double(windows.size());
        windows.push_back({channel, f});
    }
    QFile::remove(historyPath());
    {
        WindowDriver d;
        d.window().responseAnalysis()->history()->append(windows, QTime(10, 0), {});
    }
    WindowDriver d;
    d.window().findChild<QAction *>(QStringLiteral("actionAnalysis"))->trigger();
    d.showTab("tabPID");
    auto *table = d.child<QTableView>("tableRuns");
    QAbstractItemModel *rows = table->model();
    QCOMPARE(rows->rowCount(), 3);
    auto *channels = d.child<QComboBox>("comboRunsChannel");
    channels->setCurrentIndex(2);
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->index(1, RunHistory::OvershootColumn).data().toString(), QStringLiteral("7.0%"));
    QHeaderView *header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(RunHistory::OvershootColumn) + 5,
                             header->height() / 2));
    QCOMPARE(rows->index(0, RunHistory::OvershootColumn).data().toString(), QStringLiteral("7.0%"));
    channels->setCurrentIndex(0);
    QCOMPARE(rows->rowCount(), 3);
    // Saved a moment later, off the GUI thread.
    d.window().responseAnalysis()->history()->append({windows[0]}, QTime(10, 1), {});
    const auto savedRows = [] {
        QFile file(historyPath());
        return file.open(QIODevice::ReadOnly)
                   ? QJsonDocument::fromJson(file.readAll()).array().size()
                   : 0;
    };
    QTRY_COMPARE_WITH_TIMEOUT(savedRows(), 4, ResponseAnalysis::SaveDelayMs + Patience);
    d.click("buttonClearRuns");
    QVERIFY(!QFile::exists(historyPath()));
}

QTEST_MAIN(ResponseAnalysisTest)
#include "tst_responseanalysis.moc"
