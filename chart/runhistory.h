#pragma once

#include "chart/stepanalyzer.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QTime>

#include <array>
#include <optional>
#include <vector>

// The run history: a row for every step window that ended, with the channel's gains at the
// time, so that runs with different gains can be compared. A table model for the window and
// a CSV file for a spreadsheet; QtCore only.
//
// A row's gains are those in force during its window: a write ends the channel's window
// first (ResponseAnalysis), so the gains known when the row is added ran the whole window.
// Unknown gains of a live row show "?" with a tooltip asking to read them; imported rows have
// none. Its rows are saved to and restored from a file (toJson, fromJson), so the history
// outlives the program.
//
// The history keeps the newest MaxRows rows, plenty to compare a session's runs: a target
// that changes at every sample ends a window at every sample, and neither the table nor the
// work per redraw may grow with that.
class RunHistory : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 1000;

    enum Column {
        TimeColumn,
        ChannelColumn,
        PColumn,
        IColumn,
        DColumn,
        TargetColumn,
        RiseColumn,
        OvershootColumn,
        SettlingColumn,
        ErrorColumn,
        ColumnCount
    };

    // How the table shows rise and settling times: sample counts, or milliseconds where the
    // row has them.
    enum class TimeUnit { Samples, Milliseconds };
    // data() gives numbers to sort by under this role (text columns: their text).
    static constexpr int SortRole = Qt::UserRole;

    // P, I and D as last written or reported; unknown ones are empty.
    using Gains = std::array<std::optional<float>, 3>;

    // What the tuning assistant predicted for the gains written: shown in brackets beside the
    // measured rise, overshoot and settling, so the tuner sees whether the model held.
    struct Predicted
    {
        QString aim; // the suggestion's name, for the tooltip
        std::optional<qint64> riseSamples;
        double overshootPercent = 0;
        std::optional<qint64> settlingSamples;
        double intervalMs = 0; // the sample period predicted with
    };

    struct Run
    {
        QTime time;
        int channel = 0; // 0..3
        Gains gains;
        StepAnalyzer::Figures figures;
        bool imported = false; // no gains to know
        std::optional<Predicted> predicted;
    };

    explicit RunHistory(QObject *parent = nullptr);

    using ChannelGains = std::array<Gains, ChannelCount>;

    // A row for each window, in order, that ended at `time` with its channel's `gains`;
    // beyond MaxRows the oldest rows go.
    void append(const std::vector<StepAnalyzer::FinishedWindow> &windows, const QTime &time,
                const ChannelGains &gains, bool imported = false);
    void clear();
    // The channel's next live row carries this prediction; nullopt forgets it (other gains
    // were written).
    void expectPrediction(int channel, const std::optional<Predicted> &predicted);
    int size() const { return count; }
    const Run &at(int row) const { return ring[(first + std::size_t(row)) % ring.size()]; }

    void setTimeUnit(TimeUnit unit);
    TimeUnit timeUnit() const { return unit; }

    // What the table shows: time of day, "CH1", gains 'g' 6 ("?" unknown), the target 'g' 4,
    // rise and settling as "12点" or "120.0 ms", overshoot "20.0%", error 'g' 4; with a
    // prediction "12点 (10)", "120.0 ms (100)", "20.0% (15.0)".
    QString text(int row, int column) const;

    // The rows in order, a copy another thread may read.
    std::vector<Run> rows() const;
    // The rows as a JSON document, and back: a damaged document changes nothing and says why.
    QByteArray toJson() const { return toJson(rows()); }
    static QByteArray toJson(const std::vector<Run> &rows);
    bool fromJson(const QByteArray &json, QString &error);

    // UTF-8 with a byte order mark (spreadsheet programs then read the Chinese header as
    // UTF-8), a header row, LF line ends. Times split into samples and milliseconds (to
    // 0.1 ms); gains and target 'g' 6, measured numbers 'g' 4; a figure that does not exist
    // or an unknown gain is an empty field.
    QByteArray toCsv() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // Rows in order from ring[first], wrapping once the ring holds MaxRows: no allocation per
    // row while windows end at every sample.
    void appendRun(const Run &run);

    std::vector<Run> ring;
    std::array<std::optional<Predicted>, ChannelCount> expected;
    TimeUnit unit = TimeUnit::Samples;
    std::size_t first = 0;
    int count = 0;
};
