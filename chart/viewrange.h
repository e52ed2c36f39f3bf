#pragma once

#include "chart/samplestore.h"

#include <array>

// What the chart shows, as plain numbers: x in sample numbers, y in the values' units. The
// redraw tick follows the newest samples or fits the shown channels; the scroll bars move and
// zoom over the held samples or scale the vertical axis. Knows nothing of Qt Charts.
struct ViewRange
{
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;

    bool operator==(const ViewRange &other) const
    {
        return xMin == other.xMin && xMax == other.xMax && yMin == other.yMin && yMax == other.yMax;
    }

    // The newest `width` samples once there are that many, else [0, width]; y kept.
    ViewRange following(quint64 newest, qint64 width) const;
    // Follows as above, but the last shown channel decides the window, and y fits the shown
    // channels' values in it (and 0) with a tenth of margin on either side, widened to round
    // ticks. Every fourth value only: the fit need not be exact and must stay cheap. The
    // targets are read over the channel's newest `targetSpan` samples (0: all held).
    ViewRange fitted(const SampleStore &store, const std::array<bool, ChannelCount> &shown,
                     qint64 width, quint64 targetSpan) const;
    // `fraction` of what the series from `first` to `end` holds, at `position` 0 (newest) to
    // 1 (oldest); y kept.
    ViewRange scrolled(quint64 first, quint64 end, double position, double fraction) const;
    // y symmetric about 0 at 1000 * `scale` (10 below 0.01), rounded; x kept.
    ViewRange scaled(double scale) const;
};
