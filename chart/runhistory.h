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

    // P, I and D as last written or reported; unknown ones are empty.
    using Gains = std::array<std::optional<float>, 3>;

    struct Run
    {
        QTime time;
        int channel = 0; // 0..3
        Gains gains;
        StepAnalyzer::Figures figures;
    };

    explicit RunHistory(QObject *parent = nullptr);

    using ChannelGains = std::array<Gains, StepAnalyzer::ChannelCount>;

    // A row for each window, in order, that ended at `time` with its channel's `gains`;
    // beyond MaxRows the oldest rows go.
    void append(const std::vector<StepAnalyzer::FinishedWindow> &windows, const QTime &time,
                const ChannelGains &gains);
    void clear();
    int size() const { return count; }
    const Run &at(int row) const { return ring[(first + std::size_t(row)) % ring.size()]; }

    // What the table shows: time of day, "CH1", gains 'g' 6, the target 'g' 6 and the
    // figures as the step table writes them.
    QString text(int row, int column) const;

    // UTF-8 with a byte order mark (spreadsheet programs then read the Chinese header as
    // UTF-8), a header row, LF line ends. Times split into samples and milliseconds; numbers
    // 'g' 6; a figure that does not exist is an empty field.
    QByteArray toCsv() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // Rows in order from ring[first], wrapping once the ring holds MaxRows: no allocation per
    // row while windows end at every sample.
    std::vector<Run> ring;
    std::size_t first = 0;
    int count = 0;
};
