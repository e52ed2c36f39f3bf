#pragma once

#include "base/channelsample.h"
#include "chart/runhistory.h"
#include "chart/stepanalyzer.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class PID_Diagram;
class QSortFilterProxyModel;
class QTableWidget;
class StepChart;

// The step-response analysis of what the chart shows: the figures of each channel's current
// step in a table, refreshed as often as the chart redraws, and a run history row for every
// step window that ends.
//
// It follows the samples the chart took (samplesAdded: live ones timed by their read,
// imported ones untimed) and the chart's life: a run starts and stops, the port closes, the
// chart is cleared or empties itself at its cap, a file is imported. Its sample numbers are
// the chart's, so the previous window's trace lines up with the chart's points.
//
// A write of a channel's gain ends its window, so a history row carries the gains in force
// during its window (reports of the board fill in what was unknown). The history is kept in
// a file when a path is given: read at construction, written a moment after it changes (on a
// worker thread: a thousand rows and the disk's flush would stall the chart) and at
// destruction.
//
// The table shows each channel's open window while it has a step, else the channel's last
// finished step window since the chart was emptied, else "—".
//
// Once a run stops, the port closes, an import ends or the chart is emptied, the analysis
// waits for a channel's target to change or a run to start (StepAnalyzer::park).
class ResponseAnalysis : public QObject
{
    Q_OBJECT

public:
    // The chart's redraw interval: the table changes at most this often.
    static constexpr int RefreshIntervalMs = 50;

    // `stepTable`: 4 rows (CH1 to CH4), a column for each StepAnalyzer::Column.
    ResponseAnalysis(const PID_Diagram *chart, QTableWidget *stepTable, QObject *parent = nullptr,
                     const QString &historyPath = QString());
    ~ResponseAnalysis() override;

    // How soon a changed history is written to its file.
    static constexpr int SaveDelayMs = 2000;

    const StepAnalyzer &analyzer() const { return steps; }
    RunHistory *history() { return &runs; }
    // The history as the table shows it: filtered by channel, sortable by any column.
    QSortFilterProxyModel *historyView() const { return view; }
    // -1: all channels.
    void setHistoryChannel(int channel);
    // Rise, peak and settling times in points or milliseconds, in the table and the history.
    void setTimeUnit(RunHistory::TimeUnit unit);
    // Empties the history and its file.
    void clearHistory();
    // Writes the history to its file now; false (with the reason) when that fails.
    bool saveHistory(QString &error);
    // The small chart that follows the last step of `channel`; nullptr: none.
    void setStepChart(StepChart *chart, int channel);
    void setStepChartChannel(int channel);
    // The run history as a CSV file (RunHistory::toCsv), saved whole or not at all.
    bool exportRuns(const QString &path, QString &error) const;

    // Samples as the chart has just taken them (PID_Diagram::samplesAdded).
    void addSamples(const ChannelSamples &samples, qint64 arrivalNs);
    // P, I or D of a channel written to the board: the channel's window ends first and keeps
    // the gains it ran with; a prediction expected for the channel is dropped. Other
    // operations are ignored.
    void parameterWritten(int op, int channel, float value);
    // P, I or D reported by the board: in force now, so also during the open window.
    void parameterReported(int op, int channel, float value);
    // As parameterReported().
    void setParameter(int op, int channel, float value);

    void runChanged(bool active);
    // A run stops or the port closes: open windows end, their rows are added.
    void finish();
    // The chart was cleared: its open windows are dropped.
    void chartCleared();
    // The chart emptied itself at its cap: open windows end first.
    void chartCapReached();

    // Around the import's appends to the chart: the imported samples carry no gains, and
    // their step windows end with the import.
    void importStarting();
    void importFinished();

    // Takes the finished windows into the history and brings the table up to date.
    void refresh();

Q_SIGNALS:
    // Something the user should read: the history file could not be read or written.
    void message(const QString &text);

private:
    void takeFinishedWindows(bool withGains);
    void showFigures();
    void showStep();
    void saveSoon();
    void saveInBackground();

    QTableWidget *table;
    StepAnalyzer steps;
    RunHistory runs;
    bool importing = false;
    RunHistory::ChannelGains gains;
    // The last finished step window of each channel, shown while no step is open.
    std::array<std::optional<StepAnalyzer::Figures>, ChannelCount> lastFinished;
    StepAnalyzer::TimeText times = StepAnalyzer::TimeText::Samples;
    QTimer refreshTimer;
    QSortFilterProxyModel *view;
    QString historyFile;
    QTimer saveTimer;
    // The save running on a worker; a change meanwhile is saved after it.
    QFutureWatcher<QString> saving;
    bool saveAgain = false;
    StepChart *stepChart = nullptr;
    int stepChannel = 0;
};
