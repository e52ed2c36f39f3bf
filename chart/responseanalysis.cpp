#include "chart/responseanalysis.h"

#include "base/logging.h"
#include "base/safefile.h"
#include "chart/pid_diagram.h"
#include "pidlink/pidframe.h"

#include "chart/stepchart.h"

#include <QFile>
#include <QSortFilterProxyModel>
#include <QTableWidget>
#include <QtConcurrent>

#include <algorithm>
#include <utility>

ResponseAnalysis::ResponseAnalysis(const PID_Diagram *chart, QTableWidget *stepTable,
                                   QObject *parent, const QString &historyPath)
    : QObject(parent), table(stepTable), steps(int(PID_Diagram::SampleCap)),
      view(new QSortFilterProxyModel(this)), historyFile(historyPath)
{
    view->setSourceModel(&runs);
    view->setSortRole(RunHistory::SortRole);
    view->setFilterKeyColumn(RunHistory::ChannelColumn);
    if (!historyFile.isEmpty() && QFile::exists(historyFile)) {
        QFile file(historyFile);
        QString error;
        if (!file.open(QIODevice::ReadOnly))
            error = file.errorString();
        else if (file.size() > 64 * 1024 * 1024)
            error = tr("文件过大");
        else
            runs.fromJson(file.readAll(), error);
        // Said once the window listens; the file stays for the user to look at.
        if (!error.isEmpty()) {
            const QString text = tr("运行记录无法读取：%1").arg(error);
            QTimer::singleShot(0, this, [this, text] { Q_EMIT message(text); });
        }
    }
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(SaveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, &ResponseAnalysis::saveInBackground);
    connect(&saving, &QFutureWatcherBase::finished, this, [this] {
        const QString error = saving.result();
        if (!error.isEmpty())
            Q_EMIT message(tr("运行记录保存失败：%1").arg(error));
        if (std::exchange(saveAgain, false))
            saveInBackground();
    });
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&runs, signal, this, &ResponseAnalysis::saveSoon);
    connect(&runs, &QAbstractItemModel::modelReset, this, &ResponseAnalysis::saveSoon);
    // The chart's own samples, numbered as it numbers them, after it has taken them.
    connect(chart, &PID_Diagram::samplesAdded, this, &ResponseAnalysis::addSamples);
    connect(chart, &PID_Diagram::cleared, this, &ResponseAnalysis::chartCleared);
    connect(chart, &PID_Diagram::capReached, this, &ResponseAnalysis::chartCapReached);
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(RefreshIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &ResponseAnalysis::refresh);
    table->setRowCount(ChannelCount);
    table->setColumnCount(StepAnalyzer::ColumnCount);
    for (int row = 0; row < ChannelCount; ++row) {
        for (int column = 0; column < StepAnalyzer::ColumnCount; ++column) {
            if (!table->item(row, column))
                table->setItem(row, column, new QTableWidgetItem);
        }
    }
    showFigures();
}

namespace {
bool writeHistory(const QString &path, const std::vector<RunHistory::Run> &rows, QString &error)
{
    if (rows.empty()) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            error = file.errorString();
            return false;
        }
        return true;
    }
    return SafeFile::save(path, RunHistory::toJson(rows), error);
}
} // namespace

ResponseAnalysis::~ResponseAnalysis()
{
    saving.waitForFinished();
    if (saveTimer.isActive() || saveAgain) {
        QString error;
        saveHistory(error);
    }
}

void ResponseAnalysis::saveSoon()
{
    if (!historyFile.isEmpty())
        saveTimer.start();
}

void ResponseAnalysis::saveInBackground()
{
    if (saving.isRunning()) {
        saveAgain = true;
        return;
    }
    saving.setFuture(QtConcurrent::run([path = historyFile, rows = runs.rows()] {
        QString error;
        writeHistory(path, rows, error);
        return error;
    }));
}

bool ResponseAnalysis::saveHistory(QString &error)
{
    if (historyFile.isEmpty())
        return true;
    // A save on the worker would otherwise finish after this one with older rows.
    saving.waitForFinished();
    saveAgain = false;
    return writeHistory(historyFile, runs.rows(), error);
}

void ResponseAnalysis::setHistoryChannel(int channel)
{
    view->setFilterFixedString(channel >= 0 ? QStringLiteral("CH%1").arg(channel + 1) : QString());
}

void ResponseAnalysis::clearHistory()
{
    runs.clear();
    saveTimer.stop();
    QString error;
    if (!saveHistory(error))
        Q_EMIT message(tr("运行记录保存失败：%1").arg(error));
}

void ResponseAnalysis::setStepChart(StepChart *chart, int channel)
{
    stepChart = chart;
    stepChannel = channel;
    stepChart->setSource([this] { return steps.stepTrace(stepChannel); });
}

void ResponseAnalysis::setStepChartChannel(int channel)
{
    stepChannel = channel;
    showStep();
}

void ResponseAnalysis::showStep()
{
    if (stepChart)
        stepChart->refresh();
}

bool ResponseAnalysis::exportRuns(const QString &path, QString &error) const
{
    return SafeFile::save(path, runs.toCsv(), error);
}

void ResponseAnalysis::addSamples(const ChannelSamples &samples, qint64 arrivalNs)
{
    for (const ChannelSample &s : samples)
        steps.addSample(s.channel, s.number, s.actual, s.target, arrivalNs);
    if (!refreshTimer.isActive())
        refreshTimer.start();
}

void ResponseAnalysis::parameterWritten(int op, int channel, float value)
{
    if (op < CmdP || op > CmdD || channel < 0 || channel >= ChannelCount)
        return;
    // What ran so far ran with the gains before this write.
    if (!importing)
        steps.finishWindow(channel);
    takeFinishedWindows(!importing);
    gains[std::size_t(channel)][std::size_t(op - CmdP)] = value;
    // A prediction was made for other gains.
    runs.expectPrediction(channel, std::nullopt);
    showFigures();
}

void ResponseAnalysis::parameterReported(int op, int channel, float value)
{
    if (op < CmdP || op > CmdD || channel < 0 || channel >= ChannelCount)
        return;
    takeFinishedWindows(!importing);
    gains[std::size_t(channel)][std::size_t(op - CmdP)] = value;
}

void ResponseAnalysis::setParameter(int op, int channel, float value)
{
    parameterReported(op, channel, value);
}

void ResponseAnalysis::runChanged(bool active)
{
    if (active)
        steps.beginRun();
    else
        finish();
}

void ResponseAnalysis::finish()
{
    steps.park();
    refresh();
}

void ResponseAnalysis::chartCleared()
{
    takeFinishedWindows(!importing);
    steps.clear();
    // An emptied chart starts no window: the next one opens where the target changes, or at
    // the next run, or a settled signal's noise would read as a step of its own.
    if (!importing)
        steps.park();
    lastFinished.fill(std::nullopt);
    showFigures();
}

void ResponseAnalysis::chartCapReached()
{
    steps.finishWindows();
    takeFinishedWindows(!importing);
    steps.clear();
    if (!importing)
        steps.park();
    showFigures();
}

void ResponseAnalysis::importStarting()
{
    if (importing)
        return;
    finish();
    importing = true;
    steps.beginRun();
}

void ResponseAnalysis::importFinished()
{
    if (!importing)
        return;
    steps.park();
    takeFinishedWindows(false);
    importing = false;
    showFigures();
}

void ResponseAnalysis::refresh()
{
    refreshTimer.stop();
    takeFinishedWindows(!importing);
    showFigures();
}

void ResponseAnalysis::takeFinishedWindows(bool withGains)
{
    const std::vector<StepAnalyzer::FinishedWindow> windows = steps.takeFinishedWindows();
    if (windows.empty())
        return;
    // Imported data carries no gains.
    runs.append(windows, QTime::currentTime(), gains, !withGains);
    // Each channel's newest window is the one the table shows.
    std::array<bool, ChannelCount> ended{};
    int channelsSeen = 0;
    for (auto window = windows.crbegin(); window != windows.crend() && channelsSeen < ChannelCount;
         ++window) {
        const auto channel = std::size_t(window->channel);
        if (ended[channel])
            continue;
        ended[channel] = true;
        ++channelsSeen;
        lastFinished[channel] = window->figures;
    }
}

void ResponseAnalysis::setTimeUnit(RunHistory::TimeUnit unit)
{
    runs.setTimeUnit(unit);
    times = unit == RunHistory::TimeUnit::Milliseconds ? StepAnalyzer::TimeText::Milliseconds
                                                       : StepAnalyzer::TimeText::Samples;
    showFigures();
}

void ResponseAnalysis::showFigures()
{
    showStep();
    for (int channel = 0; channel < ChannelCount; ++channel) {
        StepAnalyzer::Figures figures = steps.figures(channel);
        if (!figures.hasStep() && lastFinished[std::size_t(channel)])
            figures = *lastFinished[std::size_t(channel)];
        for (int column = 0; column < StepAnalyzer::ColumnCount; ++column) {
            const QString text =
                StepAnalyzer::cellText(figures, StepAnalyzer::Column(column), times);
            QTableWidgetItem *item = table->item(channel, column);
            // An unchanged text costs no repaint.
            if (item->text() != text)
                item->setText(text);
        }
    }
}
