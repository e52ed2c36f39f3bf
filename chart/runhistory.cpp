#include "chart/runhistory.h"

#include <algorithm>

namespace {

// Shown through tr(); the gains' letters are the same in every language.
const char *const headers[RunHistory::ColumnCount] = {
    QT_TRANSLATE_NOOP("RunHistory", "时间"),
    QT_TRANSLATE_NOOP("RunHistory", "通道"),
    "P",
    "I",
    "D",
    QT_TRANSLATE_NOOP("RunHistory", "目标值"),
    QT_TRANSLATE_NOOP("RunHistory", "上升时间"),
    QT_TRANSLATE_NOOP("RunHistory", "超调量"),
    QT_TRANSLATE_NOOP("RunHistory", "调节时间"),
    QT_TRANSLATE_NOOP("RunHistory", "稳态误差"),
};

// Data, not interface: the same header in every language.
const char csvHeader[] = "\xEF\xBB\xBF时间,通道,P,I,D,目标值,上升时间(点),上升时间(ms),超调量(%),"
                         "调节时间(点),调节时间(ms),稳态误差\n";

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

template <typename T> QString optionalNumber(const std::optional<T> &value)
{
    return value ? number(double(*value)) : QString();
}

} // namespace

RunHistory::RunHistory(QObject *parent) : QAbstractTableModel(parent) {}

void RunHistory::append(const std::vector<StepAnalyzer::FinishedWindow> &windows, const QTime &time,
                        const ChannelGains &gains)
{
    if (windows.empty())
        return;
    // Only the newest MaxRows of the new rows can stay.
    const std::size_t adding = std::min<std::size_t>(windows.size(), MaxRows);
    const int dropping = std::max(0, count + int(adding) - MaxRows);
    if (dropping > 0) {
        beginRemoveRows(QModelIndex(), 0, dropping - 1);
        // Until now the rows filled the ring from its start; from now on it wraps.
        ring.resize(MaxRows);
        first = (first + std::size_t(dropping)) % MaxRows;
        count -= dropping;
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), count, count + int(adding) - 1);
    for (auto window = windows.cend() - std::ptrdiff_t(adding); window != windows.cend();
         ++window) {
        const Run run{time, window->channel, gains[std::size_t(window->channel)], window->figures};
        if (ring.size() < std::size_t(MaxRows))
            ring.push_back(run);
        else
            ring[(first + std::size_t(count)) % MaxRows] = run;
        ++count;
    }
    endInsertRows();
}

void RunHistory::clear()
{
    if (count == 0)
        return;
    beginResetModel();
    std::vector<Run>().swap(ring);
    first = 0;
    count = 0;
    endResetModel();
}

QString RunHistory::text(int row, int column) const
{
    const Run &run = at(row);
    switch (column) {
    case TimeColumn:
        return run.time.toString(QStringLiteral("HH:mm:ss"));
    case ChannelColumn:
        return QStringLiteral("CH%1").arg(run.channel + 1);
    case PColumn:
    case IColumn:
    case DColumn:
        return optionalNumber(run.gains[std::size_t(column - PColumn)]);
    case TargetColumn:
        return optionalNumber(run.figures.target);
    case RiseColumn:
        return StepAnalyzer::cellText(run.figures, StepAnalyzer::RiseColumn);
    case OvershootColumn:
        return StepAnalyzer::cellText(run.figures, StepAnalyzer::OvershootColumn);
    case SettlingColumn:
        return StepAnalyzer::cellText(run.figures, StepAnalyzer::SettlingColumn);
    case ErrorColumn:
        return StepAnalyzer::cellText(run.figures, StepAnalyzer::ErrorColumn);
    default:
        return QString();
    }
}

QByteArray RunHistory::toCsv() const
{
    QByteArray out(csvHeader);
    for (int row = 0; row < size(); ++row) {
        const StepAnalyzer::Figures &f = at(row).figures;
        const QStringList fields{text(row, TimeColumn),
                                 text(row, ChannelColumn),
                                 text(row, PColumn),
                                 text(row, IColumn),
                                 text(row, DColumn),
                                 text(row, TargetColumn),
                                 optionalNumber(f.riseSamples),
                                 optionalNumber(f.riseMs),
                                 optionalNumber(f.overshootPercent),
                                 optionalNumber(f.settlingSamples),
                                 optionalNumber(f.settlingMs),
                                 optionalNumber(f.steadyStateError)};
        out += fields.join(QLatin1Char(',')).toUtf8();
        out += '\n';
    }
    return out;
}

int RunHistory::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int RunHistory::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunHistory::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= size())
        return QVariant();
    return text(index.row(), index.column());
}

QVariant RunHistory::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= ColumnCount)
        return QVariant();
    return tr(headers[section]);
}
