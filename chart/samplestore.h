#pragma once

#include <QPointF>
#include <QVector>
#include <QtGlobal>

#include <array>
#include <deque>
#include <memory>

// The chart's samples: for each of four channels one ring of actual values and one of target
// values, four bytes a value. A value's x is not stored: an actual value's x is its number
// (the sample number, counted since the last clear and never reused), a target value's x is
// the channel's sample count when it was appended, which with the usual order (actual, then
// target) is its number plus one. Each ring keeps the newest `capacity` values and drops the
// oldest as new ones arrive; numbers go on counting. Memory follows what is held, in chunks.
class SampleStore
{
public:
    static constexpr int ChannelCount = 4;
    static constexpr int SeriesCount = 2 * ChannelCount;
    // No value is ever dropped.
    static constexpr quint64 Unlimited = ~quint64(0);

    // Values numbered from 0 since the last clear; holds numbers [first(), end()).
    class Ring
    {
    public:
        // 64 KiB a chunk: small next to a long history, cheap to drop when it is emptied.
        static constexpr int ChunkShift = 14;
        static constexpr quint64 ChunkSize = quint64(1) << ChunkShift;

        void setCapacity(quint64 capacity);
        void append(float value)
        {
            quint64 slot = endNumber - chunkBase;
            if (slot == quint64(chunks.size()) << ChunkShift) {
                addChunk();
                slot = endNumber - chunkBase;
            }
            chunks[std::size_t(slot >> ChunkShift)][slot & (ChunkSize - 1)] = value;
            ++endNumber;
            if (endNumber - firstNumber > cap)
                ++firstNumber;
        }
        quint64 first() const { return firstNumber; }
        quint64 end() const { return endNumber; }
        quint64 size() const { return endNumber - firstNumber; }
        // first() <= number < end()
        float at(quint64 number) const
        {
            const quint64 slot = number - chunkBase;
            return chunks[std::size_t(slot >> ChunkShift)][slot & (ChunkSize - 1)];
        }
        // Empties the ring, gives its memory back and numbers from 0 again.
        void clear();
        qint64 memoryBytes() const { return qint64(chunks.size()) * qint64(ChunkSize) * 4; }

    private:
        void addChunk();
        void dropStaleChunks();

        std::deque<std::unique_ptr<float[]>> chunks;
        quint64 chunkBase = 0; // number of the first value of chunks.front()
        quint64 firstNumber = 0;
        quint64 endNumber = 0;
        quint64 cap = Unlimited;
    };

    // One of the eight series (actual 1, target 1, ... target 4) as sorted points, read in
    // place. Valid until the store changes.
    class Series
    {
    public:
        quint64 first() const { return values->first(); }
        quint64 end() const { return values->end(); }
        quint64 size() const { return values->size(); }
        double x(quint64 number) const
        {
            return double(qint64(number) + (offsets ? offsetAt(number) : 0));
        }
        float y(quint64 number) const { return values->at(number); }
        QPointF at(quint64 number) const { return QPointF(x(number), double(y(number))); }
        // Number of the first held point with x >= `value` (lowerBound) or x > `value`
        // (upperBound); end() when there is none.
        quint64 lowerBound(double value) const;
        quint64 upperBound(double value) const;

    private:
        friend class SampleStore;
        struct OffsetRun
        {
            quint64 from; // first number the offset applies to
            qint64 offset;
        };
        qint64 offsetAt(quint64 number) const;

        const Ring *values = nullptr;
        const std::deque<OffsetRun> *offsets = nullptr; // null for an actual series
    };

    explicit SampleStore(quint64 capacity = Unlimited);

    // Keeps the newest `capacity` values of every ring (at least 1).
    void setCapacity(quint64 capacity);

    // channel 0..3. The actual append takes the next sample number; the target append does not.
    void appendActual(int channel, float value);
    void appendTarget(int channel, float value);

    // Samples (actual values) appended to the channel since the last clear: the number the
    // next one gets.
    quint64 count(int channel) const { return actual[std::size_t(channel)].end(); }
    // Actual values held; the oldest has number count() - held().
    quint64 held(int channel) const { return actual[std::size_t(channel)].size(); }
    quint64 targetsHeld(int channel) const { return target[std::size_t(channel)].size(); }

    Series series(int index) const;
    // The held points of one series, x and y as drawn.
    QVector<QPointF> points(int index) const;

    // Empties every ring and gives the memory back; numbers start from 0 again.
    void clear();
    qint64 memoryBytes() const;

private:
    using OffsetRun = Series::OffsetRun;
    void pruneOffsets(int channel);

    std::array<Ring, ChannelCount> actual;
    std::array<Ring, ChannelCount> target;
    // Per channel, x - number of its target values in runs; one run while every target follows
    // its actual value.
    std::array<std::deque<OffsetRun>, ChannelCount> targetOffsets;
};
