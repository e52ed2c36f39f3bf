#pragma once

#include "pidlink/pidframe.h"

#include <QPointF>
#include <QVector>
#include <QtGlobal>

#include <array>
#include <deque>
#include <memory>

// The chart's samples: for each of four channels one ring of actual values and one of target
// values, four bytes a value, appended together. A value's x is not stored: an actual value's
// x is its number (the sample number, counted since the last clear and never reused), a target
// value's x its number plus one (the chart draws a target from the moment it was in force).
// Each ring keeps the newest `capacity` values and drops the
// oldest as new ones arrive; numbers go on counting. Memory follows what is held, in chunks.
// Each block of BlockSize values also keeps its lowest and highest value, so that a fit or a
// zoomed-out view of a long history reads a block's extremes instead of its values.
class SampleStore
{
public:
    static constexpr int SeriesCount = 2 * ChannelCount;
    // The chart's default history: it empties itself at this many samples per channel.
    static constexpr quint32 SampleCap = 10000;
    // No value is ever dropped.
    static constexpr quint64 Unlimited = ~quint64(0);

    // Values numbered from 0 since the last clear; holds numbers [first(), end()).
    class Ring
    {
    public:
        // 64 KiB a chunk: small next to a long history, cheap to drop when it is emptied.
        static constexpr int ChunkShift = 14;
        static constexpr quint64 ChunkSize = quint64(1) << ChunkShift;

        // 1 KiB of values a block: its extremes add 1.2 %, and a fit over 10,000,000 values
        // reads 40,000 of them.
        static constexpr int BlockShift = 8;
        static constexpr quint64 BlockSize = quint64(1) << BlockShift;

        void setCapacity(quint64 capacity);
        void append(float value)
        {
            quint64 slot = endNumber - chunkBase;
            if (slot == quint64(chunks.size()) << ChunkShift) {
                addChunk();
                slot = endNumber - chunkBase;
            }
            Chunk &chunk = *chunks[std::size_t(slot >> ChunkShift)];
            const quint64 inChunk = slot & (ChunkSize - 1);
            chunk.values[inChunk] = value;
            chunk.blocks[inChunk >> BlockShift].note(quint16(inChunk & (BlockSize - 1)), value);
            ++endNumber;
            if (endNumber - firstNumber > cap)
                ++firstNumber;
        }
        quint64 first() const { return firstNumber; }
        quint64 end() const { return endNumber; }
        quint64 size() const { return endNumber - firstNumber; }
        // first() <= number < end()
        float at(quint64 number) const { return valueAt(number); }
        // Over the numbers [from, to) held (first() <= from <= to <= end()), NaN left out: the
        // number of the first lowest and of the first highest value; false when there is none.
        bool extremes(quint64 from, quint64 to, quint64 &lowAt, quint64 &highAt) const;
        // The lowest and highest finite value over [from, to); false when there is none.
        bool finiteRange(quint64 from, quint64 to, float &low, float &high) const;
        // Empties the ring, gives its memory back and numbers from 0 again.
        void clear();
        qint64 memoryBytes() const { return qint64(chunks.size()) * qint64(sizeof(Chunk)); }

    private:
        // A block's extremes, positions within the block; NaN values count for neither.
        struct Extremes
        {
            static constexpr quint16 None = 0xFFFF; // the block holds no value but NaN yet
            float low;
            float high;
            quint16 lowAt;
            quint16 highAt;
            void note(quint16 at, float value)
            {
                if (at == 0)
                    lowAt = highAt = None;
                if (value != value) // NaN
                    return;
                if (lowAt == None || value < low) {
                    low = value;
                    lowAt = at;
                }
                if (highAt == None || value > high) {
                    high = value;
                    highAt = at;
                }
            }
        };
        struct Chunk
        {
            float values[ChunkSize];
            Extremes blocks[ChunkSize / BlockSize];
        };
        // The extremes of the block that starts at `number`, a multiple of BlockSize away
        // from chunkBase.
        const Extremes &blockAt(quint64 number) const
        {
            const quint64 slot = number - chunkBase;
            return chunks[std::size_t(slot >> ChunkShift)]
                ->blocks[(slot & (ChunkSize - 1)) >> BlockShift];
        }
        const float &valueAt(quint64 number) const
        {
            const quint64 slot = number - chunkBase;
            return chunks[std::size_t(slot >> ChunkShift)]->values[slot & (ChunkSize - 1)];
        }
        void addChunk();
        void dropStaleChunks();

        std::deque<std::unique_ptr<Chunk>> chunks;
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
        double x(quint64 number) const { return double(number) + (isTarget ? 1.0 : 0.0); }
        float y(quint64 number) const { return values->at(number); }
        // As Ring::extremes and Ring::finiteRange, over the points numbered [from, to).
        bool extremes(quint64 from, quint64 to, quint64 &lowAt, quint64 &highAt) const
        {
            return values->extremes(from, to, lowAt, highAt);
        }
        bool finiteRange(quint64 from, quint64 to, float &low, float &high) const
        {
            return values->finiteRange(from, to, low, high);
        }
        QPointF at(quint64 number) const { return QPointF(x(number), double(y(number))); }
        // Number of the first held point with x >= `value` (lowerBound) or x > `value`
        // (upperBound); end() when there is none.
        quint64 lowerBound(double value) const;
        quint64 upperBound(double value) const;

    private:
        friend class SampleStore;

        const Ring *values = nullptr;
        bool isTarget = false;
    };

    explicit SampleStore(quint64 capacity = Unlimited);

    // Keeps the newest `capacity` values of every ring (at least 1).
    void setCapacity(quint64 capacity);

    // One sample of channel 0..3; it takes the channel's next number.
    void append(int channel, float actualValue, float targetValue)
    {
        actual[std::size_t(channel)].append(actualValue);
        target[std::size_t(channel)].append(targetValue);
    }

    // Samples (actual values) appended to the channel since the last clear: the number the
    // next one gets.
    quint64 count(int channel) const { return actual[std::size_t(channel)].end(); }
    // Actual values held; the oldest has number count() - held().
    quint64 held(int channel) const { return actual[std::size_t(channel)].size(); }

    Series series(int index) const;
    // The held points of one series, x and y as drawn.
    QVector<QPointF> points(int index) const;

    // Empties every ring and gives the memory back; numbers start from 0 again.
    void clear();
    qint64 memoryBytes() const;

private:
    std::array<Ring, ChannelCount> actual;
    std::array<Ring, ChannelCount> target;
};
