#pragma once

#include "base/channelsample.h"
#include "base/qtcompat.h"
#include "chart/samplestore.h"
#include "chart/viewrange.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <QVector>

#include <array>

class AxisLayer;
class ComparisonOverlay;
class PlotGrid;
class TraceLayer;

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The PID tab's live chart: actual and target value of four channels over a common sample
// axis. Every sample is kept in this object's sample store; the lines drawn only hold what the
// current horizontal range shows, reduced to about two points per pixel column, so appends
// stay cheap and a redraw costs the same whatever the history holds. The chart's own item
// (TraceLayer) draws them; the eight line series stay empty and give the lines their names,
// colours, visibility and legend.
//
// History length: at the default (SampleCap) all channels are emptied once one of them holds
// that many samples: by the redraw tick while it runs, and otherwise by the append that
// would go past it, so a board streaming outside a run cannot grow memory without bound.
// Any other length keeps the newest samples of each channel and drops the oldest; sample
// numbers (the x of the points) keep counting and nothing is emptied.
class PID_Diagram : public QObject
{
    Q_OBJECT

public:
    static constexpr int SeriesCount = SampleStore::SeriesCount;
    static constexpr quint32 SampleCap = SampleStore::SampleCap;
    // The history lengths the window offers; the first is the default.
    static constexpr std::array<quint32, 4> HistoryLengths = {SampleCap, 100000, 1000000, 10000000};

    explicit PID_Diagram(QtCharts::QChartView *view);
    ~PID_Diagram() override;

    void setupChart(const QString &xTitle, const QString &yTitle, int xMin, int xMax, int yMin,
                    int yMax);

    // One sample of channel 0..3 (false for any other), announced by samplesAdded once it
    // is held. arrivalNs: when its bytes were read (ArrivalClock), negative when unknown.
    bool append(int channel, float actual, float target, qint64 arrivalNs = -1);
    // The samples of one read, in order, announced together; other channels are skipped.
    void appendSamples(const ChannelSamples &samples, qint64 arrivalNs);

    bool clearAll();
    // Every held point, series order: actual 1, target 1, ... target 4; x is the sample number.
    // Costs 16 bytes a point: for a long history read samples() instead.
    QVector<QVector<QPointF>> allPoints() const;
    // Samples held per channel, the export's row count.
    QVector<quint32> sampleCounts() const;
    // The number the channel's next sample gets; above the held count once a long history
    // has dropped its oldest samples. 0 for a channel outside 0..3.
    quint64 nextSampleNumber(int channel) const
    {
        return isChannel(channel) ? store.count(channel) : 0;
    }
    // Actual appends since construction, never reset: what a long run has plotted in all.
    quint64 samplesAppended() const { return appendedTotal; }
    const SampleStore &samples() const { return store; }

    // Samples kept per channel: SampleCap (the default) empties the chart at the cap, any
    // other length keeps the newest. A shorter length drops the oldest samples at once.
    void setHistoryLength(quint32 length);
    quint32 historyLength() const { return history; }
    // Raises the history length to the smallest of HistoryLengths that keeps `samples` per
    // channel (the longest when none does), so an import is not emptied at the default cap.
    void makeRoomFor(quint64 samples);

    void startRefresh(int framesPerSecond);
    void stopRefresh();
    bool setPause(bool pause);
    bool isRefreshing() const { return timer != nullptr; }
    // The redraw tick is running (a run is active and not paused): it moves the view.
    bool isFollowing() const { return ticking(); }

Q_SIGNALS:
    // Samples were appended, each as number `number` of its channel. When an append empties
    // the chart at the cap, the samples before it are announced before capReached.
    void samplesAdded(const ChannelSamples &samples, qint64 arrivalNs);
    // The default history length emptied every channel.
    void capReached();
    // clearAll() emptied every channel.
    void cleared();
    // setHistoryLength changed the length, whoever called it.
    void historyLengthChanged(quint32 length);
    // setChannelShown() changed what a channel shows.
    void channelShownChanged(int channel, bool shown);
    // Series 0..7 draws other points (shownPoints).
    void shownPointsChanged(int index);

public:
    void setHorizontalView(double position, double fraction);
    void setVerticalScale(double scale);
    // Shows exactly this range, until the redraw tick or a scroll bar moves it again.
    void showRange(double xMin, double xMax, double yMin, double yMax);
    // The same, each axis widened to round tick values (RoundTicks) where asked; the
    // horizontal one rounded in the units its labels show.
    void showRoundRange(double xMin, double xMax, double yMin, double yMax, bool roundX = true,
                        bool roundY = true);
    // A pan's end: each axis whose step is round moves onto multiples of it (RoundTicks::snap).
    void snapRange(double xMin, double xMax, double yMin, double yMax);

    // The time axis in seconds from the run's start (the first sample after startRefresh),
    // from the sample period measured while a run is drawn; in sample numbers until a period
    // is known, and whenever this is off (the default). Only the labels change: the x of the
    // points stays the sample number.
    void setTimeInSeconds(bool on);
    bool timeInSeconds() const { return secondsAxis; }
    // Seconds per sample as measured during the last run; 0 before any.
    double samplePeriod() const { return period; }
    // True while the labels show seconds.
    bool showsSeconds() const { return secondsAxis && period > 0; }
    // A sample number in the labels' units, and back.
    double displayX(double sample) const;
    double sampleX(double display) const;
    // Sample `n` as the readout names it: "#1234" or "12.34 s".
    QString timeText(quint64 n) const;

    // Every trace colour is at least this far from the white background (WCAG's ratio).
    static constexpr double MinimumContrast = 3.0;
    static double contrastOnWhite(const QColor &colour);
    // `colour`, darkened with its hue and saturation kept until it has MinimumContrast.
    static QColor readableOnWhite(const QColor &colour);

    // Shows or hides channel 0..3 in drawing and in the vertical fit.
    void setChannelShown(int channel, bool shown);
    bool channelShown(int channel) const;

    // Brings the series up to date with the buffers now instead of at the next update.
    void refreshSeries();

    QtCharts::QChartView *view() const { return chartView; }
    QtCharts::QChart *chartItem() const { return chart; }
    // Lines drawn besides the eight series (the comparison with the last run).
    ComparisonOverlay *comparison() const { return overlay; }
    // The tuning assistant's predicted response, drawn like the comparison in the channels'
    // own colours, dash-dotted; never part of the series or the export.
    ComparisonOverlay *prediction() const { return predicted; }
    QtCharts::QValueAxis *horizontalAxis() const { return axisX; }
    QtCharts::QValueAxis *verticalAxis() const { return axisY; }
    QtCharts::QLineSeries *series(int index) const
    {
        return index >= 0 && index < SeriesCount ? lines[std::size_t(index)] : nullptr;
    }
    // What series 0..7 draws now: the points of the shown range, reduced, in axis values.
    QVector<QPointF> shownPoints(int index) const;
    int windowSize() const { return windowWidth; }
    float horizontalFraction() const { return viewFraction; }

    // Auto-scroll mode: the redraw tick also fits the vertical axis to the shown channels.
    bool autoScroll = false;

public Q_SLOTS:
    void on_timer_updata();

protected:
    // Brings the series up to date when a minimized window is restored.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    quint64 countOf(int channel) const { return store.count(channel); }
    bool emptiesAtCap() const { return history == SampleCap; }
    bool ticking() const { return timer && timer->isActive(); }
    void emptyAtCap();
    void take(ChannelSample sample, qint64 arrivalNs);
    void announceTaken(qint64 arrivalNs);
    static bool isChannel(int channel);
    void scheduleSeriesUpdate();
    int plotColumns() const;
    ViewRange shownRange() const;
    std::array<QtCharts::QLineSeries *, 2> channelLines(int channel) const
    {
        return {lines[std::size_t(2 * channel)], lines[std::size_t(2 * channel + 1)]};
    }
    void moveView(const ViewRange &view);
    void lightenFurniture();
    void pictureMoved();
    void drawSmooth();

    QTimer *timer = nullptr;
    QtCharts::QChartView *chartView = nullptr;
    QtCharts::QValueAxis *axisX = nullptr;
    QtCharts::QValueAxis *axisY = nullptr;
    // The labels in seconds: shown in place of axisX's, its range follows axisX's.
    QtCharts::QValueAxis *axisTime = nullptr;
    void updateTimeAxis();
    void measurePeriod(quint64 maxCount);
    void restartClock();
    bool secondsAxis = false;
    double period = 0.0;
    quint64 timeOrigin = 0; // the run's first sample
    quint64 clockFrom = 0;  // the sample count when runClock started
    QElapsedTimer runClock; // valid while a run is drawn
    // Series order: actual 1, target 1, ... target 4.
    std::array<QtCharts::QLineSeries *, SeriesCount> lines{};
    QtCharts::QChart *chart = nullptr;
    std::array<bool, ChannelCount> shownFlags{true, true, true, true};
    qint32 windowWidth = 200;
    float viewFraction = 0.4f;
    quint64 appendedTotal = 0;
    ChannelSamples taken; // appended, not yet announced
    quint32 history = SampleCap;

    // The samples themselves, with the channels' sample counters.
    SampleStore store;
    // Coalesces series updates while the redraw timer is not ticking.
    QTimer seriesUpdateTimer;
    bool seriesDirty = false;
    QVector<QPointF> scratch;
    // Antialiasing comes back once the picture has held still this long.
    static constexpr int SmoothAfterMs = 300;
    QTimer smoothTimer;
    PlotGrid *grid = nullptr;               // a child item of the chart
    AxisLayer *axes = nullptr;              // a child item of the chart
    TraceLayer *traces = nullptr;           // a child item of the chart
    ComparisonOverlay *overlay = nullptr;   // a child item of the chart
    ComparisonOverlay *predicted = nullptr; // a child item of the chart
};
