#pragma once

#include <QVector>
#include <QtGlobal>

// One sample of one controller channel, as a data frame or a channel's pair of a text line
// carries it. `number` is its place in the channel once the chart holds it (-1 before).
struct ChannelSample
{
    int channel = 0;
    float actual = 0;
    float target = 0;
    qint64 number = -1;
};

// The samples of one read, in the order they came: handed on together, because a signal
// delivery per sample cost more than the sample's own work at the rates boards send.
using ChannelSamples = QVector<ChannelSample>;
