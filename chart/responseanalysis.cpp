#include "chart/responseanalysis.h"

#include "base/logging.h"
#include "base/safefile.h"
#include "chart/pid_diagram.h"
#include "pidlink/pidframe.h"

#include "chart/stepchart.h"

#include <QFile>
#include <QSortFilterProxyModel>
#include <QTableWidget>

#include <algorithm>

ResponseAnalysis::ResponseAnalysis(const PID_Diagram *chart, QTableWidget *stepTable,
                                   QObject *parent, const QString &historyPath)
    : QObject(parent), diagram(chart), table(stepTable), view(new QSortFilterProxyModel(this)),
      historyFile(historyPath)
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
    connect(&saveTimer, &QTimer::timeout, this, [this] {
        QString error;
        if (!saveHistory(error))
            Q_EMIT message(tr("运行记录保存失败：%1").arg(error));
    });
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&runs, signal, this, &ResponseAnalysis::saveSoon);
    connect(&runs, &QAbstractItemModel::modelReset, this, &ResponseAnalysis::saveSoon);
    clock.start();
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(RefreshIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &ResponseAnalysis::refresh);
    table->setRowCount(StepAnalyzer::ChannelCount);
    table->setColumnCount(StepAnalyzer::ColumnCount);
    for (int row = 0; row < StepAnalyzer::ChannelCount; ++row) {
        for (int column = 0; column < StepAnalyzer::ColumnCount; ++column) {
            if (!table->item(row, column))
                table->setItem(row, column, new QTableWidgetItem);
        }
    }
    showFigures();
}

ResponseAnalysis::~ResponseAnalysis()
{
    if (saveTimer.isActive()) {
        QString error;
        saveHistory(error);
    }
}

void ResponseAnalysis::saveSoon()
{
    if (!historyFile.isEmpty())
        saveTimer.start();
}

bool ResponseAnalysis::saveHistory(QString &error) const
{
    if (historyFile.isEmpty())
        return true;
    if (runs.size() == 0) {
        QFile file(historyFile);
        if (file.exists() && !file.remove()) {
            error = file.errorString();
            return false;
        }
        return true;
    }
    return SafeFile::save(historyFile, runs.toJson(), error);
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

void ResponseAnalysis::bytesArrived()
{
    // One time for all samples of a read: they arrived together.
    arrivalNs = clock.nsecsElapsed();
}

void ResponseAnalysis::addSample(int channel, float actual, float target)
{
    // An import reads everything from the chart's store, in the store's order.
    if (importing || channel < 0 || channel >= StepAnalyzer::ChannelCount)
        return;
    const auto c = std::size_t(channel);
    const float previous = lastTarget[c];
    lastTarget[c] = target;
    if (parked[c]) {
        if (!StepAnalyzer::targetChanged(previous, target)) {
            steps.skipSamples(channel, 1);
            return;
        }
        parked[c] = false;
    }
    steps.addSample(channel, actual, target, arrivalNs);
    if (!refreshTimer.isActive())
        refreshTimer.start();
}

void ResponseAnalysis::parameterWritten(int op, int channel, float value)
{
    if (op < CmdP || op > CmdD || channel < 0 || channel >= StepAnalyzer::ChannelCount)
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
    if (op < CmdP || op > CmdD || channel < 0 || channel >= StepAnalyzer::ChannelCount)
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
    if (active) {
        steps.beginRun();
        parked.fill(false);
    } else {
        finish();
    }
}

void ResponseAnalysis::finish()
{
    steps.finishWindows();
    parked.fill(true);
    refresh();
}

void ResponseAnalysis::chartCleared()
{
    takeFinishedWindows(!importing);
    steps.clear();
    parkAfterClear();
    lastFinished.fill(std::nullopt);
    showFigures();
}

void ResponseAnalysis::chartCapReached()
{
    // During an import the store is already empty here: what was not read yet is lost, as
    // it is to the chart.
    steps.finishWindows();
    takeFinishedWindows(!importing);
    steps.clear();
    parkAfterClear();
    showFigures();
}

void ResponseAnalysis::parkAfterClear()
{
    // An emptied chart starts no window: the next one opens where the target changes, or at
    // the next run, or a settled signal's noise would read as a step of its own.
    if (!importing)
        parked.fill(true);
}

void ResponseAnalysis::importStarting()
{
    if (importing)
        return;
    finish();
    importing = true;
    steps.beginRun();
    parked.fill(false);
}

void ResponseAnalysis::importFinished()
{
    if (!importing)
        return;
    readImportedSamples();
    steps.finishWindows();
    takeFinishedWindows(false);
    importing = false;
    parked.fill(true);
    showFigures();
}

void ResponseAnalysis::refresh()
{
    refreshTimer.stop();
    if (importing)
        readImportedSamples();
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
    std::array<bool, StepAnalyzer::ChannelCount> ended{};
    int channelsSeen = 0;
    for (auto window = windows.crbegin();
         window != windows.crend() && channelsSeen < StepAnalyzer::ChannelCount; ++window) {
        const auto channel = std::size_t(window->channel);
        if (ended[channel])
            continue;
        ended[channel] = true;
        ++channelsSeen;
        lastFinished[channel] = window->figures;
    }
}

void ResponseAnalysis::readImportedSamples()
{
    const SampleStore &store = diagram->samples();
    for (int channel = 0; channel < StepAnalyzer::ChannelCount; ++channel) {
        const SampleStore::Series actual = store.series(2 * channel);
        const SampleStore::Series target = store.series(2 * channel + 1);
        auto next = quint64(steps.sampleCount(channel));
        const quint64 held = std::max(actual.first(), target.first());
        if (next < held) {
            // A history shorter than the import dropped them before they were read.
            qCDebug(lcChart) << "step analysis: samples dropped unread" << channel << held - next;
            steps.skipSamples(channel, qint64(held - next));
            next = held;
        }
        // A sample is read once its target is in too.
        const quint64 end = std::min(actual.end(), target.end());
        for (; next < end; ++next)
            steps.addSample(channel, actual.y(next), target.y(next));
        if (end > held)
            lastTarget[std::size_t(channel)] = target.y(end - 1);
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
    for (int channel = 0; channel < StepAnalyzer::ChannelCount; ++channel) {
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
