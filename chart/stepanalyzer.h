#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <deque>
#include <optional>
#include <vector>

// Step-response figures of the four channels, kept up to date sample by sample: a sample costs
// a constant amount of work and reading the figures costs nothing more, so a table can show
// them at every redraw.
//
// Windows (per channel): a window starts at the channel's first sample after beginRun() (also
// after construction and clear()), and at every sample whose target t differs from the
// previous sample's target by more than 1e-6 * max(1, |t|) (a NaN target always differs; equal
// infinities do not). It lasts until the sample before the next window's start.
//
// Figures of a window, k counted from its first sample: y0 and r are actual and target at
// k = 0, delta = r - y0 (in double); a window whose |delta| is below 1e-9 or not finite has
// no step and no figures. Progress p(k) = (actual(k) - y0) / delta, in double.
//  - rise: first k with p >= 0.9 minus first k with p >= 0.1;
//  - peak: first k with the largest p (k = 0 counts, with p = 0); overshoot
//    max(0, pmax - 1) * 100 %;
//  - settling: the smallest m with |p(k) - 1| <= 0.02 for every k >= m, none while the newest
//    sample is outside that band;
//  - steady-state error: r minus the mean actual of the last ceil(n / 10) samples, none while
//    one of them is not finite.
// NaN progress reaches no threshold and lies outside the band.
// Milliseconds: where every sample of the window came with an arrival time and n >= 2, the
// sample counts times the mean arrival interval (t_last - t_first) / (n - 1).
//
// Sample numbers are the chart's: the n-th sample of a channel since the last clear(), from 0.
// The owner must call clear() whenever the chart is emptied (its clear button and the redraw
// tick's reset at the sample cap) so that the numbers stay aligned.
//
// Memory: 4 bytes per sample of each open step window (a fraction of what the chart keeps for
// the same samples), plus each channel's previous trace, at most traceCap values.
class StepAnalyzer
{
    Q_DECLARE_TR_FUNCTIONS(StepAnalyzer)

public:
    static constexpr int ChannelCount = 4;
    // The chart's history: it empties itself at this many samples per channel.
    static constexpr int DefaultTraceCap = 10000;
    // Finished windows that nobody took; older ones are dropped beyond this (see dropped()).
    static constexpr int QueueCap = 10000;

    struct Figures
    {
        qint64 firstSample = -1; // the window's first sample number in the channel; -1: none
        qint64 samples = 0;      // n, samples in the window so far
        std::optional<double> y0;
        std::optional<double> target; // r
        std::optional<qint64> riseSamples;
        std::optional<qint64> peakSamples;
        std::optional<double> overshootPercent;
        std::optional<qint64> settlingSamples;
        std::optional<double> steadyStateError;
        std::optional<double> intervalMs; // mean arrival interval over the window
        std::optional<double> riseMs;
        std::optional<double> peakMs;
        std::optional<double> settlingMs;

        bool hasStep() const { return y0.has_value(); }
    };

    struct FinishedWindow
    {
        int channel = 0;
        Figures figures;
    };

    struct Trace
    {
        QVector<float> actual;          // the previous finished step window's actual values
        qint64 currentFirstSample = -1; // where the open window starts; -1: none open
    };

    // The history table's columns, in order.
    enum Column {
        StepColumn,
        RiseColumn,
        PeakColumn,
        OvershootColumn,
        SettlingColumn,
        ErrorColumn
    };
    static constexpr int ColumnCount = 6;

    explicit StepAnalyzer(int traceCap = DefaultTraceCap);

    // Whether `target` starts a window after `previous` (the rule above).
    static bool targetChanged(float previous, float target);

    // A run starts (the start button, the board's start command, or an import about to be
    // appended): the next sample of every channel starts a window.
    void beginRun();

    // One sample of channel 0..3 (others are ignored). arrivalNs: arrival time in nanoseconds
    // on a monotonic clock (QElapsedTimer::nsecsElapsed()), negative when unknown (imported
    // data). Returns true when this sample ended a window with a step, which is now queued.
    bool addSample(int channel, float actual, float target, qint64 arrivalNs = -1);

    // Ends the open windows (a run stops, the port closes, an import has been appended): those
    // with a step are queued and become the previous traces. Returns how many were queued.
    // The next sample of every channel starts a window.
    int finishWindows();

    // Samples of the channel that will never be added (the chart dropped them unread): the
    // open window ends as finishWindows() ends it, and the sample numbers move on by `count`.
    void skipSamples(int channel, qint64 count);

    // The chart was emptied: sample numbers restart at 0, open windows and previous traces are
    // forgotten (call finishWindows() first to keep their rows). Queued windows stay.
    void clear();

    // The open window's figures; an empty Figures (firstSample -1) when none is open.
    Figures figures(int channel) const;
    // Finished step windows in the order they ended, oldest first; the queue is emptied.
    std::vector<FinishedWindow> takeFinishedWindows();
    int queuedWindows() const { return int(finished.size()); }
    // Finished windows dropped because the queue was full, since construction.
    quint64 dropped() const { return droppedWindows; }

    // The actual values of the channel's previous finished step window, at most traceCap of
    // them from its first sample, and where the open window starts, to draw them aligned.
    Trace previousWindowTrace(int channel) const;
    // Samples of the channel since the last clear(): the chart's counter.
    qint64 sampleCount(int channel) const;

    // What the table shows for a figure: "y0 → r" (numbers 'g' 6), "N点" or "N点 (T ms)"
    // (T below 100 ms with 3 significant digits, from 100 ms on in whole milliseconds),
    // overshoot "20.0%", error 'g' 4, and "—" where the figure does not exist.
    static QString cellText(const Figures &figures, Column column);
    // "N点", in the interface's language.
    static QString samplesText(qint64 samples);
    static QStringList cellTexts(const Figures &figures);

private:
    struct Channel
    {
        qint64 count = 0;
        bool startPending = true;
        bool open = false;
        float lastTarget = 0;
        // The open window.
        qint64 first = 0;
        qint64 n = 0;
        float y0 = 0;
        float r = 0;
        double delta = 0;
        bool step = false;
        // Of a step window's actual values only two parts are read again: the first ones, for
        // the comparison trace, and the error's tail, which moves on as the window grows.
        std::vector<float> head; // values[0, traceLimit)
        std::deque<float> tail;  // values[tailStart, n)
        qint64 rise10 = -1;
        qint64 rise90 = -1;
        double maxProgress = 0;
        qint64 peak = 0;
        qint64 lastOutside = -1;
        bool newestInside = false;
        // Sum of values[tailStart, n), compensated, without its non-finite values.
        qint64 tailStart = 0;
        double tailSum = 0;
        double tailCompensation = 0;
        qint64 tailNonFinite = 0;
        qint64 firstNs = -1;
        qint64 lastNs = -1;
        bool timed = true;
        QVector<float> previous;
    };

    void startWindow(Channel &c, float actual, float target);
    bool closeWindow(int channel);
    void enqueue(const FinishedWindow &window);
    Figures figuresOf(const Channel &c) const;
    static void addToTail(Channel &c, float value, double sign);

    int traceLimit;
    std::array<Channel, ChannelCount> channels;
    // A ring once full: the oldest is at finishedHead. No allocation per window while a
    // target that moves at every sample ends a window at every sample.
    std::vector<FinishedWindow> finished;
    std::size_t finishedHead = 0;
    quint64 droppedWindows = 0;
};
