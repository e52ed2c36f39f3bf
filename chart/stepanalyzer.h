#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

#include "chart/samplestore.h"
#include "pidlink/pidframe.h"

#include <array>
#include <optional>
#include <vector>

// Step-response figures of the four channels, kept up to date sample by sample. A sample
// costs a constant amount of work; the figures of a window are worked out from its values when
// they are read after a change (at most at each redraw) and once when it ends. docs/step-figures.md
// says how and why.
//
// Windows (per channel): a window starts at the channel's first sample after beginRun() (also
// after construction and clear()), and at every sample whose target t differs from the
// previous sample's target by more than 1e-6 * max(1, |t|) (a NaN target always differs; equal
// infinities do not). It lasts until the sample before the next window's start, until
// finishWindow() (a gain of the channel is written) or until it holds MaxWindowSamples; after
// the last two the channel waits, counting its samples, for its target to change or a run to
// start.
//
// Figures of a window, k counted from its first sample: y0 and r are actual and target at
// k = 0, delta = r - y0 (in double). The window has a step when delta is finite, |delta| is at
// least 1e-9, at least MinStepFraction of the channel's range (its targets and window-start
// actuals since clear()) and, once the noise is known, at least StepNoiseRatio noise spreads.
// Noise sigma: the median absolute second difference of a steady stretch over its value for
// white noise (0.6745 * sqrt(6)); taken from the channel's previous window (the steady part
// before the step), else from the window's second half, frozen once NoiseFreezeSamples are in;
// unknown (taken as 0) below MinNoiseDifferences differences. With sigma > 0 the response is
// smoothed by a centred moving average of w = 2h + 1 samples, w the least for which the
// settling band holds five spreads of the smoothed noise (h at most MaxSmoothingHalfWidth), and
// only the samples with all their neighbours in are judged. With sigma = 0 (noise-free or short
// windows) w = 1 and the figures are exactly the definitions below on the raw samples.
// Progress p(k) = (s(k) - y0) / delta, s the smoothed response.
//  - rise: first k with p >= 0.9 minus first k with p >= 0.1;
//  - settling: band b = max(2 %, 5 sigma / sqrt(w) / |delta|); the smallest m with
//    |p(k) - 1| <= b for every judged k >= m, none while the newest judged sample is outside;
//  - peak: first k with the largest p (k = 0 counts, with p = 0), searched up to the settling
//    sample when sigma > 0 (what follows is noise around the target); overshoot
//    max(0, pmax - 1) * 100 %;
//  - steady-state error: r minus the mean actual of the last ceil(n / 10) samples, none while
//    one of them is not finite.
// NaN progress reaches no threshold and lies outside the band.
// Milliseconds: where every sample of the window came with an arrival time and n >= 2, the
// sample counts times the mean arrival interval (t_last - t_first) / (n - 1).
//
// Sample numbers are the caller's (the chart's: its n-th sample of a channel since it was last
// emptied, from 0); a number that does not follow the open window's last one ends it as
// finishWindows() does. The owner calls clear() when the chart is emptied.
//
// Memory: at most MaxWindowSamples values of each channel's open window and two finished step
// windows' first traceCap values (the comparison trace and the one before it), whatever the
// chart's history length.
class StepAnalyzer
{
    Q_DECLARE_TR_FUNCTIONS(StepAnalyzer)

public:
    // As long as the chart's default history.
    static constexpr int DefaultTraceCap = int(SampleStore::SampleCap);
    // Finished windows that nobody took; older ones are dropped beyond this (see dropped()).
    static constexpr int QueueCap = 10000;
    // The longest window analysed: a window ends here, its figures kept.
    static constexpr int MaxWindowSamples = 20000;
    // A step needs at least this fraction of the channel's range...
    static constexpr double MinStepFraction = 0.01;
    // ... and this many noise spreads.
    static constexpr double StepNoiseRatio = 5;
    static constexpr int MinNoiseDifferences = 32;
    static constexpr int NoiseFreezeSamples = 256;
    static constexpr int MaxSmoothingHalfWidth = 15;

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
        std::optional<double> noise; // sigma, in the actual's units, once known
        int smoothing = 1;           // w, samples averaged per judged value
        double settlingBand = 0.02;  // b, as a fraction of the step

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

    // The channel's newest step window (the open one while it has a step, else the last one
    // that ended) and the step window before it, to draw the step on a chart of its own.
    struct StepTrace
    {
        QVector<float> actual; // from the window's first sample, at most traceCap values
        QVector<float> comparison;
        double target = 0;
        qint64 firstSample = -1; // -1: no step window yet
        bool open = false;
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

    // Sample `number` of channel 0..3 (others are ignored). arrivalNs: arrival time in
    // nanoseconds on a monotonic clock (ArrivalClock), negative when unknown (imported data).
    // Returns true when this sample ended a window with a step, which is now queued.
    bool addSample(int channel, qint64 number, float actual, float target, qint64 arrivalNs = -1);

    // Ends the open windows (a run stops, the port closes, an import has been appended): those
    // with a step are queued and become the previous traces. Returns how many were queued.
    // The next sample of every channel starts a window.
    int finishWindows();
    // Ends the channel's open window (a gain of the channel was written: what follows ran
    // with other gains); the channel waits for its target to change or a run to start.
    // True when a window with a step was queued.
    bool finishWindow(int channel);

    // A run stops, the port closes, an import ends, the chart is emptied: the open windows
    // end as finishWindows() ends them, and each channel waits for its target to change or a
    // run to start. The samples still on their way when the user stopped would otherwise open
    // a window of their own, with the small "step" between the settled value and the target.
    void park();

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
    StepTrace stepTrace(int channel) const;
    // How a time reads: "N点", "T ms" (the samples where no time was measured), or both as
    // "N点 (T ms)" (T below 100 ms with 3 significant digits, from 100 ms on in whole ms).
    enum class TimeText { Samples, Milliseconds, Both };
    // What the table shows for a figure: "y0 → r" (numbers 'g' 4), the times as `times` says,
    // overshoot "20.0%", error 'g' 4, and "—" where the figure does not exist.
    static QString cellText(const Figures &figures, Column column, TimeText times = TimeText::Both);
    // "N点", in the interface's language.
    static QString samplesText(qint64 samples);
    static QStringList cellTexts(const Figures &figures, TimeText times = TimeText::Both);

private:
    struct Channel
    {
        bool startPending = true;
        bool open = false;
        bool waiting = false; // after finishWindow() or a full window: until the target moves
        float lastTarget = 0;
        // The channel's range: targets and window-start actuals since clear().
        double low = 0;
        double high = 0;
        bool ranged = false;
        // The open window.
        qint64 first = 0;
        qint64 n = 0;
        float y0 = 0;
        float r = 0;
        double delta = 0;
        bool nominalStep = false;  // finite and at least 1e-9
        double range = 0;          // the channel's range at the window's start
        std::vector<float> values; // values[0, n), at most MaxWindowSamples
        qint64 firstNs = -1;
        qint64 lastNs = -1;
        bool timed = true;
        // Noise: of the steady part before the window, and the window's own once frozen.
        double noiseBefore = -1;
        double noiseFrozen = -1;
        // Figures of the open window, worked out when read after it grew.
        mutable Figures cached;
        mutable qint64 cachedN = -1;
        QVector<float> previous;
        QVector<float> beforePrevious;
        double previousTarget = 0;
        bool hasPrevious = false;
    };

    void startWindow(Channel &c, qint64 number, float actual, float target);
    bool closeWindow(int channel);
    void enqueue(const FinishedWindow &window);
    const Figures &figuresOf(const Channel &c) const;
    Figures computeFigures(const Channel &c) const;
    double noiseOf(const Channel &c) const;
    std::optional<double> estimateNoise(const std::vector<float> &values, qint64 from,
                                        qint64 to) const;

    int traceLimit;
    std::array<Channel, ChannelCount> channels;
    // A ring once full: the oldest is at finishedHead. No allocation per window while a
    // target that moves at every sample ends a window at every sample.
    std::vector<FinishedWindow> finished;
    std::size_t finishedHead = 0;
    quint64 droppedWindows = 0;
    // Scratch space for the noise's median and the smoothed response.
    mutable std::vector<double> scratch;
};
