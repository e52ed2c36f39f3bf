#include "chart/viewrange.h"

#include "chart/roundticks.h"

#include <algorithm>
#include <cmath>

namespace {

// Widens [low, high] by every fourth finite value of `series` over [from, to).
void scanEveryFourth(const SampleStore::Series &series, quint64 from, quint64 to, double &low,
                     double &high)
{
    for (quint64 i = from; i < to; i += 4) {
        const double y = double(series.y(i));
        // An infinity from a damaged frame would make the range unusable.
        if (!std::isfinite(y))
            continue;
        high = std::max(high, y);
        low = std::min(low, y);
    }
}

} // namespace

ViewRange ViewRange::following(quint64 newest, qint64 width) const
{
    ViewRange view = *this;
    if (width > qint64(newest)) {
        view.xMin = 0;
        view.xMax = double(width);
    } else {
        view.xMin = double(qint64(newest) - width);
        view.xMax = double(newest);
    }
    return view;
}

ViewRange ViewRange::fitted(const SampleStore &store, const std::array<bool, ChannelCount> &shown,
                            qint64 width, quint64 targetSpan) const
{
    ViewRange view = *this;
    quint64 newest = 0;
    for (int c = 0; c < ChannelCount; ++c)
        newest = std::max(newest, store.count(c));
    double low = 0.0;
    double high = 0.0;
    for (int c = 0; c < ChannelCount; ++c) {
        if (!shown[std::size_t(c)])
            continue;
        const quint64 count = store.count(c);
        // Each shown channel sets the window again, so the last shown one decides it.
        quint64 start = 0;
        if (qint64(count) < width) {
            view.xMin = 0;
            view.xMax = double(width);
        } else {
            view.xMin = double(qint64(newest) - width);
            view.xMax = double(newest);
            start = count - quint64(width);
        }
        const SampleStore::Series actual = store.series(2 * c);
        scanEveryFourth(actual, std::max(start, actual.first()), std::min(count, actual.end()), low,
                        high);
        const SampleStore::Series target = store.series(2 * c + 1);
        quint64 from = target.first();
        if (targetSpan != 0 && count > targetSpan)
            from = std::max(from, (count - targetSpan + 3) & ~quint64(3));
        scanEveryFourth(target, from, std::min(count, target.end()), low, high);
    }
    const double span = high - low;
    if (span != 0.0) {
        view.yMin = low - 0.1 * span;
        view.yMax = high + 0.1 * span;
    } else {
        const double mid = (high + low) * 0.5;
        view.yMin = mid - 1;
        view.yMax = mid + 1;
    }
    const RoundTicks::Range round = RoundTicks::widen(view.yMin, view.yMax);
    view.yMin = round.min;
    view.yMax = round.max;
    return view;
}

ViewRange ViewRange::scrolled(quint64 first, quint64 end, double position, double fraction) const
{
    const double n = double(end) - double(first);
    const double f = n - n * fraction;
    const double g = position * f;
    // Single precision, as the scroll bars have always placed it.
    const float lo = float(f - g);
    const float hi = float(n - g);
    return {double(first) + double(lo), double(first) + double(hi), yMin, yMax};
}

ViewRange ViewRange::scaled(double scale) const
{
    const RoundTicks::Range round = RoundTicks::symmetric(scale < 0.01 ? 10.0 : 1000 * scale);
    return {xMin, xMax, round.min, round.max};
}
