#include "chart/stepanalyzer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double MinStep = 1e-9;
constexpr double TargetTolerance = 1e-6;
constexpr double RiseLow = 0.1;
constexpr double RiseHigh = 0.9;
constexpr double SettlingBand = 0.02;
// Spreads of the smoothed noise the settling band holds.
constexpr double BandNoiseRatio = 5;
// The median of |second difference| of white noise of spread sigma is 0.6745 * sqrt(6) sigma.
constexpr double MedianSecondDifference = 0.6744897501960817 * 2.449489742783178;

// Whole milliseconds are plenty from 100 ms on; below that three digits show fast loops.
QString millisecondsText(double ms)
{
    return std::fabs(ms) >= 100 ? QString::number(ms, 'f', 0) : QString::number(ms, 'g', 3);
}

// Neumaier's compensated sum: the error stays about one rounding of the sum, not one per
// value that has passed through it (a glitch of 1e30 leaves no trace behind).
struct RunningSum
{
    double sum = 0;
    double compensation = 0;
    qint64 finite = 0;
    qint64 nonFinite = 0;

    void add(float value, double sign)
    {
        if (!std::isfinite(value)) {
            nonFinite += sign > 0 ? 1 : -1;
            return;
        }
        finite += sign > 0 ? 1 : -1;
        const double x = sign * double(value);
        const double next = sum + x;
        if (std::fabs(sum) >= std::fabs(x))
            compensation += (sum - next) + x;
        else
            compensation += (x - next) + sum;
        sum = next;
    }
    double value() const { return sum + compensation; }
};

} // namespace

bool StepAnalyzer::targetChanged(float previous, float target)
{
    if (previous == target)
        return false;
    const double t = double(target);
    // Written so that NaN differs from everything.
    return !(std::fabs(t - double(previous)) <= TargetTolerance * std::max(1.0, std::fabs(t)));
}

StepAnalyzer::StepAnalyzer(int traceCap) : traceLimit(std::max(0, traceCap)) {}

void StepAnalyzer::beginRun()
{
    for (Channel &c : channels)
        c.startPending = true;
}

bool StepAnalyzer::addSample(int channel, qint64 number, float actual, float target,
                             qint64 arrivalNs)
{
    if (channel < 0 || channel >= ChannelCount)
        return false;
    Channel &c = channels[std::size_t(channel)];
    const bool moved = targetChanged(c.lastTarget, target);
    c.lastTarget = target;
    bool ended = false;
    if (c.open && number != c.first + c.n) {
        // Samples missed: the window's values would no longer be consecutive.
        ended = closeWindow(channel);
        c.startPending = true;
    }
    if (c.waiting && !c.startPending && !moved)
        return ended;
    if (c.startPending || !c.open || moved) {
        ended = closeWindow(channel) || ended;
        startWindow(c, number, actual, target);
    }

    const qint64 k = c.n++;
    if (arrivalNs < 0)
        c.timed = false;
    if (k == 0)
        c.firstNs = arrivalNs;
    c.lastNs = arrivalNs;
    c.values.push_back(actual);
    if (c.n == NoiseFreezeSamples && c.noiseFrozen < 0) {
        if (const auto sigma = estimateNoise(c.values, c.n / 2, c.n))
            c.noiseFrozen = *sigma;
    }
    if (c.n >= MaxWindowSamples) {
        // Longer than anything analysed: the window ends with what it has.
        ended = closeWindow(channel) || ended;
        c.waiting = true;
    }
    return ended;
}

int StepAnalyzer::finishWindows()
{
    int queued = 0;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (closeWindow(channel))
            ++queued;
        channels[std::size_t(channel)].startPending = true;
    }
    return queued;
}

bool StepAnalyzer::finishWindow(int channel)
{
    if (channel < 0 || channel >= ChannelCount)
        return false;
    Channel &c = channels[std::size_t(channel)];
    if (!c.open)
        return false;
    c.waiting = true;
    return closeWindow(channel);
}

void StepAnalyzer::park()
{
    for (int channel = 0; channel < ChannelCount; ++channel) {
        closeWindow(channel);
        Channel &c = channels[std::size_t(channel)];
        c.waiting = true;
        c.startPending = false;
    }
}

void StepAnalyzer::clear()
{
    for (Channel &c : channels) {
        c.open = false;
        c.waiting = false;
        c.startPending = true;
        c.ranged = false;
        // A long window's buffer is not kept for later.
        std::vector<float>().swap(c.values);
        c.previous.clear();
        c.beforePrevious.clear();
        c.hasPrevious = false;
    }
    std::vector<double>().swap(scratch);
}

StepAnalyzer::Figures StepAnalyzer::figures(int channel) const
{
    if (channel < 0 || channel >= ChannelCount)
        return Figures();
    return figuresOf(channels[std::size_t(channel)]);
}

std::vector<StepAnalyzer::FinishedWindow> StepAnalyzer::takeFinishedWindows()
{
    if (finished.empty())
        return {};
    std::vector<FinishedWindow> out;
    out.swap(finished);
    std::rotate(out.begin(), out.begin() + std::ptrdiff_t(finishedHead), out.end());
    finishedHead = 0;
    finished.reserve(out.size());
    return out;
}

StepAnalyzer::Trace StepAnalyzer::previousWindowTrace(int channel) const
{
    if (channel < 0 || channel >= ChannelCount)
        return Trace();
    const Channel &c = channels[std::size_t(channel)];
    return Trace{c.previous, c.open ? c.first : -1};
}

StepAnalyzer::StepTrace StepAnalyzer::stepTrace(int channel) const
{
    StepTrace trace;
    if (channel < 0 || channel >= ChannelCount)
        return trace;
    const Channel &c = channels[std::size_t(channel)];
    if (c.open && figuresOf(c).hasStep()) {
        const int size = int(std::min<qint64>(c.n, traceLimit));
        trace.actual.resize(size);
        std::copy(c.values.cbegin(), c.values.cbegin() + size, trace.actual.begin());
        trace.comparison = c.previous;
        trace.target = double(c.r);
        trace.firstSample = c.first;
        trace.open = true;
    } else if (c.hasPrevious) {
        trace.actual = c.previous;
        trace.comparison = c.beforePrevious;
        trace.target = c.previousTarget;
        trace.firstSample = 0;
    }
    return trace;
}

QString StepAnalyzer::cellText(const Figures &figures, Column column, TimeText times)
{
    const QString none = QStringLiteral("—");
    if (!figures.hasStep())
        return none;
    const auto time = [&](const std::optional<qint64> &samples, const std::optional<double> &ms) {
        if (!samples)
            return none;
        if (times == TimeText::Milliseconds && ms)
            return millisecondsText(*ms) + QStringLiteral(" ms");
        QString text = samplesText(*samples);
        if (times == TimeText::Both && ms)
            text += QStringLiteral(" (") + millisecondsText(*ms) + QStringLiteral(" ms)");
        return text;
    };
    switch (column) {
    case StepColumn:
        return QString::number(*figures.y0, 'g', 4) + QStringLiteral(" → ") +
               QString::number(*figures.target, 'g', 4);
    case RiseColumn:
        return time(figures.riseSamples, figures.riseMs);
    case PeakColumn:
        return time(figures.peakSamples, figures.peakMs);
    case OvershootColumn:
        if (!figures.overshootPercent)
            return none;
        return QString::number(*figures.overshootPercent, 'f', 1) + QLatin1Char('%');
    case SettlingColumn:
        return time(figures.settlingSamples, figures.settlingMs);
    case ErrorColumn:
        if (!figures.steadyStateError)
            return none;
        return QString::number(*figures.steadyStateError, 'g', 4);
    }
    return none;
}

QString StepAnalyzer::samplesText(qint64 samples)
{
    return tr("%1点").arg(samples);
}

QStringList StepAnalyzer::cellTexts(const Figures &figures, TimeText times)
{
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells << cellText(figures, Column(column), times);
    return cells;
}

void StepAnalyzer::startWindow(Channel &c, qint64 number, float actual, float target)
{
    c.startPending = false;
    c.waiting = false;
    c.open = true;
    c.first = number;
    c.n = 0;
    c.y0 = actual;
    c.r = target;
    c.delta = double(target) - double(actual);
    c.nominalStep = std::isfinite(c.delta) && std::fabs(c.delta) >= MinStep;
    for (const float value : {actual, target}) {
        if (!std::isfinite(value))
            continue;
        c.low = c.ranged ? std::min(c.low, double(value)) : double(value);
        c.high = c.ranged ? std::max(c.high, double(value)) : double(value);
        c.ranged = true;
    }
    c.range = c.ranged ? c.high - c.low : 0;
    c.values.clear();
    c.noiseFrozen = -1;
    c.cachedN = -1;
    c.firstNs = -1;
    c.lastNs = -1;
    c.timed = true;
}

bool StepAnalyzer::closeWindow(int channel)
{
    Channel &c = channels[std::size_t(channel)];
    if (!c.open)
        return false;
    const Figures &f = figuresOf(c);
    const bool step = f.hasStep();
    if (step) {
        enqueue(FinishedWindow{channel, f});
        c.beforePrevious.swap(c.previous);
        const int size = int(std::min<qint64>(c.n, traceLimit));
        c.previous.resize(size);
        std::copy(c.values.cbegin(), c.values.cbegin() + size, c.previous.begin());
        c.previousTarget = double(c.r);
        c.hasPrevious = true;
    }
    // What the window learnt of the noise is the steady part before the next step.
    if (c.noiseFrozen >= 0)
        c.noiseBefore = c.noiseFrozen;
    else if (const auto sigma = estimateNoise(c.values, c.n / 2, c.n))
        c.noiseBefore = *sigma;
    c.open = false;
    c.values.clear();
    c.cachedN = -1;
    return step;
}

void StepAnalyzer::enqueue(const FinishedWindow &window)
{
    if (int(finished.size()) < QueueCap) {
        finished.push_back(window);
        return;
    }
    finished[finishedHead] = window;
    finishedHead = (finishedHead + 1) % finished.size();
    ++droppedWindows;
}

std::optional<double> StepAnalyzer::estimateNoise(const std::vector<float> &values, qint64 from,
                                                  qint64 to) const
{
    scratch.clear();
    for (qint64 k = std::max<qint64>(from, 0) + 2; k < to; ++k) {
        const double d = double(values[std::size_t(k)]) - 2 * double(values[std::size_t(k - 1)]) +
                         double(values[std::size_t(k - 2)]);
        if (std::isfinite(d))
            scratch.push_back(std::fabs(d));
    }
    if (int(scratch.size()) < MinNoiseDifferences)
        return std::nullopt;
    const auto middle = scratch.begin() + std::ptrdiff_t(scratch.size() / 2);
    std::nth_element(scratch.begin(), middle, scratch.end());
    return *middle / MedianSecondDifference;
}

double StepAnalyzer::noiseOf(const Channel &c) const
{
    if (c.noiseBefore >= 0)
        return c.noiseBefore;
    if (c.noiseFrozen >= 0)
        return c.noiseFrozen;
    return estimateNoise(c.values, c.n / 2, c.n).value_or(-1);
}

const StepAnalyzer::Figures &StepAnalyzer::figuresOf(const Channel &c) const
{
    if (c.cachedN != c.n || !c.open) {
        c.cached = computeFigures(c);
        c.cachedN = c.open ? c.n : -1;
    }
    return c.cached;
}

StepAnalyzer::Figures StepAnalyzer::computeFigures(const Channel &c) const
{
    Figures f;
    if (!c.open)
        return f;
    f.firstSample = c.first;
    f.samples = c.n;
    if (c.timed && c.n >= 2 && c.lastNs >= c.firstNs)
        f.intervalMs = double(c.lastNs - c.firstNs) / double(c.n - 1) / 1e6;
    if (!c.nominalStep || c.n == 0 || std::fabs(c.delta) < MinStepFraction * c.range)
        return f;
    const double sigma = noiseOf(c);
    if (sigma >= 0)
        f.noise = sigma;
    const double size = std::fabs(c.delta);
    if (sigma > 0 && size < StepNoiseRatio * sigma)
        return f;

    f.y0 = double(c.y0);
    f.target = double(c.r);
    const double noise = std::max(sigma, 0.0) / size; // in progress
    // The least width whose averaged noise fits the 2 % band BandNoiseRatio times.
    int half = 0;
    if (noise > 0) {
        const double width = std::ceil(std::pow(BandNoiseRatio * noise / SettlingBand, 2));
        half = int(std::min<double>(MaxSmoothingHalfWidth, std::ceil((width - 1) / 2)));
        half = std::max(half, 0);
    }
    const auto &x = c.values;
    qint64 judged = 0;
    const auto smooth = [&](int h) {
        // The judged samples: those with all their neighbours in.
        judged = std::max<qint64>(c.n - h, 0);
        scratch.resize(std::size_t(judged));
        if (h == 0) {
            for (qint64 k = 0; k < judged; ++k)
                scratch[std::size_t(k)] = (double(x[std::size_t(k)]) - double(c.y0)) / c.delta;
            return;
        }
        RunningSum window;
        for (qint64 j = 0; j < h && j < c.n; ++j)
            window.add(x[std::size_t(j)], 1);
        for (qint64 k = 0; k < judged; ++k) {
            window.add(x[std::size_t(k + h)], 1);
            if (k - h - 1 >= 0)
                window.add(x[std::size_t(k - h - 1)], -1);
            const double mean = window.finite > 0 ? window.value() / double(window.finite)
                                                  : std::numeric_limits<double>::quiet_NaN();
            scratch[std::size_t(k)] = (mean - double(c.y0)) / c.delta;
        }
    };
    smooth(half);
    if (half > 0) {
        // No wider than a quarter of the time to 90 %: a wider average flattens the peak
        // and hides oscillations; the band widens instead.
        const auto k90 =
            std::find_if(scratch.cbegin(), scratch.cend(), [](double p) { return p >= RiseHigh; });
        const int limit = int(std::min<std::ptrdiff_t>(half, (k90 - scratch.cbegin()) / 4));
        if (limit < half) {
            half = limit;
            smooth(half);
        }
    }
    const int width = 2 * half + 1;
    f.smoothing = width;
    const double band = std::max(SettlingBand, BandNoiseRatio * noise / std::sqrt(double(width)));
    f.settlingBand = band;

    const auto &p = scratch;

    qint64 rise10 = -1;
    qint64 rise90 = -1;
    for (qint64 k = 0; k < judged && rise90 < 0; ++k) {
        if (rise10 < 0 && p[std::size_t(k)] >= RiseLow)
            rise10 = k;
        if (p[std::size_t(k)] >= RiseHigh)
            rise90 = k;
    }
    if (rise90 >= 0)
        f.riseSamples = rise90 - rise10;

    qint64 settled = judged;
    while (settled > 0 && std::fabs(p[std::size_t(settled - 1)] - 1.0) <= band)
        --settled;
    if (judged > 0 && settled < judged)
        f.settlingSamples = settled;

    // With noise, what follows the settling sample is noise around the target, not a peak.
    const qint64 peakEnd = sigma > 0 && f.settlingSamples ? settled + 1 : judged;
    double highest = 0;
    qint64 peak = 0;
    for (qint64 k = 0; k < peakEnd; ++k) {
        if (p[std::size_t(k)] > highest) {
            highest = p[std::size_t(k)];
            peak = k;
        }
    }
    f.peakSamples = peak;
    f.overshootPercent = std::max(0.0, highest - 1.0) * 100.0;

    RunningSum tail;
    for (qint64 k = c.n - (c.n + 9) / 10; k < c.n; ++k)
        tail.add(x[std::size_t(k)], 1);
    if (tail.nonFinite == 0)
        f.steadyStateError = double(c.r) - tail.value() / double(tail.finite);

    if (f.intervalMs) {
        const double interval = *f.intervalMs;
        const auto ms = [interval](const std::optional<qint64> &samples) {
            return samples ? std::optional<double>(double(*samples) * interval) : std::nullopt;
        };
        f.riseMs = ms(f.riseSamples);
        f.peakMs = ms(f.peakSamples);
        f.settlingMs = ms(f.settlingSamples);
    }
    return f;
}
