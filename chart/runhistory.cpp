#include "chart/runhistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

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

// The headers are short to keep the columns narrow; their tooltips give the full names.
const struct
{
    const char *source;
    const char *comment;
} fullNames[RunHistory::ColumnCount] = {
    QT_TRANSLATE_NOOP3("RunHistory", "时间", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "通道", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "比例系数 P", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "积分系数 I", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "微分系数 D", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "目标值", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "上升时间", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "超调量", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "调节时间", "full name"),
    QT_TRANSLATE_NOOP3("RunHistory", "稳态误差", "full name"),
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

// What the measurement supports: four significant digits, milliseconds to 0.1.
QString measured(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 4) : QString();
}

QString milliseconds(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 1) : QString();
}

QJsonValue jsonOf(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue jsonOf(const std::optional<qint64> &value)
{
    return value ? QJsonValue(double(*value)) : QJsonValue();
}

std::optional<double> doubleOf(const QJsonValue &value)
{
    return value.isDouble() ? std::optional<double>(value.toDouble()) : std::nullopt;
}

std::optional<qint64> countOf(const QJsonValue &value)
{
    return value.isDouble() ? std::optional<qint64>(qint64(value.toDouble())) : std::nullopt;
}

} // namespace

RunHistory::RunHistory(QObject *parent) : QAbstractTableModel(parent) {}

void RunHistory::append(const std::vector<StepAnalyzer::FinishedWindow> &windows, const QTime &time,
                        const ChannelGains &gains, bool imported)
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
        std::optional<Predicted> predicted;
        if (!imported)
            predicted.swap(expected[std::size_t(window->channel)]);
        appendRun(Run{time, window->channel,
                      imported ? Gains() : gains[std::size_t(window->channel)], window->figures,
                      imported, predicted});
    }
    endInsertRows();
}

void RunHistory::expectPrediction(int channel, const std::optional<Predicted> &predicted)
{
    if (channel >= 0 && channel < ChannelCount)
        expected[std::size_t(channel)] = predicted;
}

void RunHistory::appendRun(const Run &run)
{
    if (ring.size() < std::size_t(MaxRows))
        ring.push_back(run);
    else
        ring[(first + std::size_t(count)) % MaxRows] = run;
    ++count;
}

void RunHistory::setTimeUnit(TimeUnit to)
{
    if (unit == to)
        return;
    unit = to;
    if (count > 0)
        Q_EMIT dataChanged(index(0, RiseColumn), index(count - 1, SettlingColumn));
}

std::vector<RunHistory::Run> RunHistory::rows() const
{
    std::vector<Run> copy;
    copy.reserve(std::size_t(count));
    for (int row = 0; row < count; ++row)
        copy.push_back(at(row));
    return copy;
}

QByteArray RunHistory::toJson(const std::vector<Run> &runs)
{
    QJsonArray rows;
    for (const Run &run : runs) {
        const StepAnalyzer::Figures &f = run.figures;
        QJsonArray gains;
        for (const std::optional<float> &gain : run.gains)
            gains.append(gain ? QJsonValue(double(*gain)) : QJsonValue());
        QJsonObject o{{QStringLiteral("time"), run.time.toString(Qt::ISODateWithMs)},
                      {QStringLiteral("channel"), run.channel},
                      {QStringLiteral("imported"), run.imported},
                      {QStringLiteral("gains"), gains},
                      {QStringLiteral("y0"), jsonOf(f.y0)},
                      {QStringLiteral("target"), jsonOf(f.target)},
                      {QStringLiteral("samples"), double(f.samples)},
                      {QStringLiteral("rise"), jsonOf(f.riseSamples)},
                      {QStringLiteral("peak"), jsonOf(f.peakSamples)},
                      {QStringLiteral("overshoot"), jsonOf(f.overshootPercent)},
                      {QStringLiteral("settling"), jsonOf(f.settlingSamples)},
                      {QStringLiteral("error"), jsonOf(f.steadyStateError)},
                      {QStringLiteral("interval"), jsonOf(f.intervalMs)},
                      {QStringLiteral("riseMs"), jsonOf(f.riseMs)},
                      {QStringLiteral("peakMs"), jsonOf(f.peakMs)},
                      {QStringLiteral("settlingMs"), jsonOf(f.settlingMs)},
                      {QStringLiteral("noise"), jsonOf(f.noise)}};
        if (run.predicted) {
            const Predicted &p = *run.predicted;
            o.insert(QStringLiteral("predicted"),
                     QJsonObject{{QStringLiteral("aim"), p.aim},
                                 {QStringLiteral("rise"), jsonOf(p.riseSamples)},
                                 {QStringLiteral("overshoot"), p.overshootPercent},
                                 {QStringLiteral("settling"), jsonOf(p.settlingSamples)},
                                 {QStringLiteral("interval"), p.intervalMs}});
        }
        rows.append(o);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Compact);
}

bool RunHistory::fromJson(const QByteArray &json, QString &error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isArray()) {
        error = parse.error != QJsonParseError::NoError ? parse.errorString() : tr("不是运行记录");
        return false;
    }
    std::vector<Run> rows;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject o = value.toObject();
        Run run;
        run.time = QTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        run.channel = o.value(QStringLiteral("channel")).toInt(-1);
        const QJsonArray gains = o.value(QStringLiteral("gains")).toArray();
        StepAnalyzer::Figures &f = run.figures;
        f.y0 = doubleOf(o.value(QStringLiteral("y0")));
        f.target = doubleOf(o.value(QStringLiteral("target")));
        if (run.channel < 0 || run.channel >= ChannelCount || gains.size() != 3 || !f.y0 ||
            !f.target) {
            error = tr("第%1条记录已损坏").arg(rows.size() + 1);
            return false;
        }
        run.imported = o.value(QStringLiteral("imported")).toBool();
        for (int g = 0; g < 3; ++g) {
            if (gains[g].isDouble())
                run.gains[std::size_t(g)] = float(gains[g].toDouble());
        }
        f.samples = qint64(o.value(QStringLiteral("samples")).toDouble());
        f.riseSamples = countOf(o.value(QStringLiteral("rise")));
        f.peakSamples = countOf(o.value(QStringLiteral("peak")));
        f.overshootPercent = doubleOf(o.value(QStringLiteral("overshoot")));
        f.settlingSamples = countOf(o.value(QStringLiteral("settling")));
        f.steadyStateError = doubleOf(o.value(QStringLiteral("error")));
        f.intervalMs = doubleOf(o.value(QStringLiteral("interval")));
        f.noise = doubleOf(o.value(QStringLiteral("noise")));
        f.riseMs = doubleOf(o.value(QStringLiteral("riseMs")));
        f.peakMs = doubleOf(o.value(QStringLiteral("peakMs")));
        f.settlingMs = doubleOf(o.value(QStringLiteral("settlingMs")));
        const QJsonObject p = o.value(QStringLiteral("predicted")).toObject();
        if (!p.isEmpty())
            run.predicted = Predicted{p.value(QStringLiteral("aim")).toString(),
                                      countOf(p.value(QStringLiteral("rise"))),
                                      p.value(QStringLiteral("overshoot")).toDouble(),
                                      countOf(p.value(QStringLiteral("settling"))),
                                      p.value(QStringLiteral("interval")).toDouble()};
        rows.push_back(run);
    }
    beginResetModel();
    ring.clear();
    first = 0;
    count = 0;
    // The newest MaxRows, as append() keeps them.
    for (std::size_t i = rows.size() > MaxRows ? rows.size() - MaxRows : 0; i < rows.size(); ++i)
        appendRun(rows[i]);
    endResetModel();
    return true;
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
    const StepAnalyzer::Figures &f = run.figures;
    const std::optional<Predicted> &predicted = run.predicted;
    const auto time = [this, &f, &predicted](const std::optional<qint64> &samples,
                                             const std::optional<double> &ms,
                                             std::optional<qint64> Predicted::*field) {
        QString text = QStringLiteral("—");
        const bool inMs = unit == TimeUnit::Milliseconds && ms;
        if (samples)
            text = inMs ? QString::number(*ms, 'f', 1) + QStringLiteral(" ms")
                        : StepAnalyzer::samplesText(*samples);
        if (!predicted)
            return text;
        const std::optional<qint64> &p = (*predicted).*field;
        const QString guess = !p     ? QStringLiteral("—")
                              : inMs ? QString::number(double(*p) * predicted->intervalMs, 'f', 0)
                                     : QString::number(*p);
        return QStringLiteral("%1 (%2)").arg(text, guess);
    };
    switch (column) {
    case TimeColumn:
        return run.time.toString(QStringLiteral("HH:mm:ss"));
    case ChannelColumn:
        return QStringLiteral("CH%1").arg(run.channel + 1);
    case PColumn:
    case IColumn:
    case DColumn: {
        const std::optional<float> &gain = run.gains[std::size_t(column - PColumn)];
        return gain ? number(double(*gain)) : run.imported ? QString() : QStringLiteral("?");
    }
    case TargetColumn:
        return f.target ? QString::number(*f.target, 'g', 4) : QString();
    case RiseColumn:
        return time(f.riseSamples, f.riseMs, &Predicted::riseSamples);
    case OvershootColumn: {
        const QString text = StepAnalyzer::cellText(f, StepAnalyzer::OvershootColumn);
        return run.predicted ? QStringLiteral("%1 (%2)").arg(
                                   text, QString::number(run.predicted->overshootPercent, 'f', 1))
                             : text;
    }
    case SettlingColumn:
        return time(f.settlingSamples, f.settlingMs, &Predicted::settlingSamples);
    case ErrorColumn:
        return StepAnalyzer::cellText(f, StepAnalyzer::ErrorColumn);
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
                                 optionalNumber(at(row).gains[0]),
                                 optionalNumber(at(row).gains[1]),
                                 optionalNumber(at(row).gains[2]),
                                 optionalNumber(f.target),
                                 optionalNumber(f.riseSamples),
                                 milliseconds(f.riseMs),
                                 measured(f.overshootPercent),
                                 optionalNumber(f.settlingSamples),
                                 milliseconds(f.settlingMs),
                                 measured(f.steadyStateError)};
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
    if (!index.isValid() || index.row() >= size())
        return QVariant();
    const Run &run = at(index.row());
    const StepAnalyzer::Figures &f = run.figures;
    const int column = index.column();
    const bool gain = column >= PColumn && column <= DColumn;
    if (role == Qt::DisplayRole)
        return text(index.row(), column);
    if (role == Qt::ToolTipRole && gain && !run.imported &&
        !run.gains[std::size_t(column - PColumn)])
        return tr("这次运行时的参数未知：运行前按“读”读取板子的参数");
    if (role == Qt::ToolTipRole && run.predicted && column >= RiseColumn &&
        column <= SettlingColumn)
        return tr("括号内是写入的建议（%1）在模型上的预测值").arg(run.predicted->aim);
    if (role == Qt::TextAlignmentRole && column != TimeColumn && column != ChannelColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != SortRole)
        return QVariant();
    // Missing figures sort after every number.
    const auto sortable = [](const auto &value) {
        return value ? QVariant(double(*value)) : QVariant(std::numeric_limits<double>::max());
    };
    switch (column) {
    case TimeColumn:
        return run.time;
    case ChannelColumn:
        return run.channel;
    case PColumn:
    case IColumn:
    case DColumn:
        return sortable(run.gains[std::size_t(column - PColumn)]);
    case TargetColumn:
        return sortable(f.target);
    case RiseColumn:
        return sortable(f.riseSamples);
    case OvershootColumn:
        return sortable(f.overshootPercent);
    case SettlingColumn:
        return sortable(f.settlingSamples);
    case ErrorColumn:
        return sortable(f.steadyStateError ? std::optional<double>(std::fabs(*f.steadyStateError))
                                           : std::nullopt);
    default:
        return QVariant();
    }
}

QVariant RunHistory::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section < 0 || (orientation == Qt::Horizontal && section >= ColumnCount))
        return QVariant();
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
        const QString name =
            tr(fullNames[section].source, fullNames[section].comment) + QLatin1Char('\n');
        switch (section) {
        case PColumn:
        case IColumn:
        case DColumn:
            return name +
                   tr("这次阶跃期间生效的参数（写入或板子报告的值）；写入参数会结束该通道的阶跃");
        case RiseColumn:
        case OvershootColumn:
        case SettlingColumn:
            return name + tr("由去噪后的响应算出；点击表头排序");
        default:
            return name + tr("点击表头排序");
        }
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    return tr(headers[section]);
}
