#include "chart/stepanalyzer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MinStep = 1e-9;
constexpr double TargetTolerance = 1e-6;
constexpr double RiseLow = 0.1;
constexpr double RiseHigh = 0.9;
constexpr double SettlingBand = 0.02;

// Whole milliseconds are plenty from 100 ms on; below that three digits show fast loops.
QString millisecondsText(double ms)
{
    return std::fabs(ms) >= 100 ? QString::number(ms, 'f', 0) : QString::number(ms, 'g', 3);
}

} // namespace

inline void StepAnalyzer::addToTail(Channel &c, float value, double sign)
{
    if (!std::isfinite(value)) {
        c.tailNonFinite += sign > 0 ? 1 : -1;
        return;
    }
    // Neumaier's compensated sum: the error stays about one rounding of the tail's sum, not
    // one per value that has passed through it (a glitch of 1e30 leaves no trace behind).
    const double x = sign * double(value);
    const double sum = c.tailSum + x;
    if (std::fabs(c.tailSum) >= std::fabs(x))
        c.tailCompensation += (c.tailSum - sum) + x;
    else
        c.tailCompensation += (x - sum) + c.tailSum;
    c.tailSum = sum;
}

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

bool StepAnalyzer::addSample(int channel, float actual, float target, qint64 arrivalNs)
{
    if (channel < 0 || channel >= ChannelCount)
        return false;
    Channel &c = channels[std::size_t(channel)];
    bool ended = false;
    if (c.startPending || !c.open || targetChanged(c.lastTarget, target)) {
        ended = closeWindow(channel);
        startWindow(c, actual, target);
    }
    c.lastTarget = target;
    ++c.count;

    const qint64 k = c.n++;
    if (arrivalNs < 0)
        c.timed = false;
    if (k == 0)
        c.firstNs = arrivalNs;
    c.lastNs = arrivalNs;
    if (!c.step)
        return ended;

    if (qint64(c.head.size()) < traceLimit)
        c.head.push_back(actual);
    c.tail.push_back(actual);
    const double p = (double(actual) - double(c.y0)) / c.delta;
    if (c.rise10 < 0 && p >= RiseLow)
        c.rise10 = k;
    if (c.rise90 < 0 && p >= RiseHigh)
        c.rise90 = k;
    if (p > c.maxProgress) {
        c.maxProgress = p;
        c.peak = k;
    }
    c.newestInside = std::fabs(p - 1.0) <= SettlingBand;
    if (!c.newestInside)
        c.lastOutside = k;

    // The tail is the last ceil(n / 10) samples; its start moves by at most one per sample.
    addToTail(c, actual, 1.0);
    const qint64 tailStart = c.n - (c.n + 9) / 10;
    for (; c.tailStart < tailStart; ++c.tailStart) {
        addToTail(c, c.tail.front(), -1.0);
        c.tail.pop_front();
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

void StepAnalyzer::skipSamples(int channel, qint64 count)
{
    if (channel < 0 || channel >= ChannelCount || count <= 0)
        return;
    closeWindow(channel);
    Channel &c = channels[std::size_t(channel)];
    c.startPending = true;
    c.count += count;
}

void StepAnalyzer::clear()
{
    for (Channel &c : channels) {
        c.count = 0;
        c.open = false;
        c.startPending = true;
        // A long window's buffers are not kept for later.
        std::vector<float>().swap(c.head);
        std::deque<float>().swap(c.tail);
        c.previous.clear();
    }
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

qint64 StepAnalyzer::sampleCount(int channel) const
{
    if (channel < 0 || channel >= ChannelCount)
        return 0;
    return channels[std::size_t(channel)].count;
}

QString StepAnalyzer::cellText(const Figures &figures, Column column)
{
    const QString none = QStringLiteral("—");
    if (!figures.hasStep())
        return none;
    const auto time = [&](const std::optional<qint64> &samples, const std::optional<double> &ms) {
        if (!samples)
            return none;
        QString text = samplesText(*samples);
        if (ms)
            text += QStringLiteral(" (") + millisecondsText(*ms) + QStringLiteral(" ms)");
        return text;
    };
    switch (column) {
    case StepColumn:
        return QString::number(*figures.y0, 'g', 6) + QStringLiteral(" → ") +
               QString::number(*figures.target, 'g', 6);
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

QStringList StepAnalyzer::cellTexts(const Figures &figures)
{
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells << cellText(figures, Column(column));
    return cells;
}

void StepAnalyzer::startWindow(Channel &c, float actual, float target)
{
    c.startPending = false;
    c.open = true;
    c.first = c.count;
    c.n = 0;
    c.y0 = actual;
    c.r = target;
    c.delta = double(target) - double(actual);
    c.step = std::isfinite(c.delta) && std::fabs(c.delta) >= MinStep;
    c.head.clear();
    c.tail.clear();
    c.rise10 = -1;
    c.rise90 = -1;
    c.maxProgress = 0;
    c.peak = 0;
    c.lastOutside = -1;
    c.newestInside = false;
    c.tailStart = 0;
    c.tailSum = 0;
    c.tailCompensation = 0;
    c.tailNonFinite = 0;
    c.firstNs = -1;
    c.lastNs = -1;
    c.timed = true;
}

bool StepAnalyzer::closeWindow(int channel)
{
    Channel &c = channels[std::size_t(channel)];
    if (!c.open)
        return false;
    const bool step = c.step;
    if (step) {
        enqueue(FinishedWindow{channel, figuresOf(c)});
        c.previous.resize(int(c.head.size()));
        std::copy(c.head.cbegin(), c.head.cend(), c.previous.begin());
    }
    c.open = false;
    c.head.clear();
    c.tail.clear();
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

StepAnalyzer::Figures StepAnalyzer::figuresOf(const Channel &c) const
{
    Figures f;
    if (!c.open)
        return f;
    f.firstSample = c.first;
    f.samples = c.n;
    if (c.timed && c.n >= 2 && c.lastNs >= c.firstNs)
        f.intervalMs = double(c.lastNs - c.firstNs) / double(c.n - 1) / 1e6;
    if (!c.step || c.n == 0)
        return f;

    f.y0 = double(c.y0);
    f.target = double(c.r);
    if (c.rise90 >= 0)
        f.riseSamples = c.rise90 - c.rise10;
    f.peakSamples = c.peak;
    f.overshootPercent = std::max(0.0, c.maxProgress - 1.0) * 100.0;
    if (c.newestInside)
        f.settlingSamples = c.lastOutside + 1;
    if (c.tailNonFinite == 0) {
        const double mean = (c.tailSum + c.tailCompensation) / double(c.n - c.tailStart);
        f.steadyStateError = double(c.r) - mean;
    }
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
