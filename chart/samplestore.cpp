#include "chart/samplestore.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// Freed chunks sit between other blocks of the heap, where glibc keeps them mapped; hand
// large amounts back to the system explicitly.
void releaseFreedMemory(qint64 freedBytes)
{
#if defined(__GLIBC__)
    if (freedBytes >= 8 * 1024 * 1024)
        malloc_trim(0);
#else
    Q_UNUSED(freedBytes)
#endif
}
} // namespace

void SampleStore::Ring::setCapacity(quint64 capacity)
{
    cap = std::max<quint64>(capacity, 1);
    if (size() > cap)
        firstNumber = endNumber - cap;
    dropStaleChunks();
}

void SampleStore::Ring::addChunk()
{
    // In a full ring the oldest chunk has just been left behind: use it again.
    if (!chunks.empty() && firstNumber >= chunkBase + ChunkSize) {
        std::unique_ptr<Chunk> recycled = std::move(chunks.front());
        chunks.pop_front();
        chunkBase += ChunkSize;
        chunks.push_back(std::move(recycled));
        return;
    }
    // Not value-initialised: pages count only once they are written. A block's extremes are
    // set by its first value.
    chunks.push_back(std::unique_ptr<Chunk>(new Chunk));
}

bool SampleStore::Ring::extremes(quint64 from, quint64 to, quint64 &lowAt, quint64 &highAt) const
{
    bool any = false;
    float low = 0;
    float high = 0;
    // Strictly lower or higher only: the first of equal values wins, as in a plain scan.
    const auto take = [&](float lowValue, quint64 lowNumber, float highValue, quint64 highNumber) {
        if (!any || lowValue < low) {
            low = lowValue;
            lowAt = lowNumber;
        }
        if (!any || highValue > high) {
            high = highValue;
            highAt = highNumber;
        }
        any = true;
    };
    for (quint64 n = from; n < to;) {
        const quint64 inBlock = (n - chunkBase) & (BlockSize - 1);
        if (inBlock == 0 && to - n >= BlockSize) {
            const Extremes &block = blockAt(n);
            if (block.lowAt != Extremes::None)
                take(block.low, n + block.lowAt, block.high, n + block.highAt);
            n += BlockSize;
            continue;
        }
        // The rest of the block, whose values lie side by side.
        const quint64 stop = std::min(to, n + (BlockSize - inBlock));
        const float *value = &valueAt(n);
        for (; n < stop; ++n, ++value) {
            if (!std::isnan(*value))
                take(*value, n, *value, n);
        }
    }
    return any;
}

bool SampleStore::Ring::finiteRange(quint64 from, quint64 to, float &low, float &high) const
{
    bool any = false;
    const auto take = [&](float value) {
        if (!std::isfinite(value))
            return;
        low = any ? std::min(low, value) : value;
        high = any ? std::max(high, value) : value;
        any = true;
    };
    for (quint64 n = from; n < to;) {
        const quint64 inBlock = (n - chunkBase) & (BlockSize - 1);
        if (inBlock == 0 && to - n >= BlockSize) {
            const Extremes &block = blockAt(n);
            // An infinity hides the finite extremes on its side: that block's values are read.
            const bool empty = block.lowAt == Extremes::None;
            if (empty || (std::isfinite(block.low) && std::isfinite(block.high))) {
                if (!empty) {
                    take(block.low);
                    take(block.high);
                }
                n += BlockSize;
                continue;
            }
        }
        const quint64 stop = std::min(to, n + (BlockSize - inBlock));
        const float *value = &valueAt(n);
        for (; n < stop; ++n, ++value)
            take(*value);
    }
    return any;
}

void SampleStore::Ring::dropStaleChunks()
{
    while (!chunks.empty() && firstNumber >= chunkBase + ChunkSize) {
        chunks.pop_front();
        chunkBase += ChunkSize;
    }
    if (chunks.empty())
        chunkBase = endNumber;
}

void SampleStore::Ring::clear()
{
    chunks.clear();
    chunks.shrink_to_fit();
    chunkBase = firstNumber = endNumber = 0;
}

quint64 SampleStore::Series::lowerBound(double value) const
{
    quint64 lo = first();
    quint64 hi = end();
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        if (x(mid) < value)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

quint64 SampleStore::Series::upperBound(double value) const
{
    quint64 lo = first();
    quint64 hi = end();
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        if (!(value < x(mid)))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

SampleStore::SampleStore(quint64 capacity)
{
    for (int c = 0; c < ChannelCount; ++c) {
        actual[std::size_t(c)].setCapacity(capacity);
        target[std::size_t(c)].setCapacity(capacity);
    }
}

void SampleStore::setCapacity(quint64 capacity)
{
    const qint64 before = memoryBytes();
    for (int c = 0; c < ChannelCount; ++c) {
        actual[std::size_t(c)].setCapacity(capacity);
        target[std::size_t(c)].setCapacity(capacity);
    }
    releaseFreedMemory(before - memoryBytes());
}

SampleStore::Series SampleStore::series(int index) const
{
    Series s;
    const std::size_t channel = std::size_t(index / 2);
    if (index % 2 == 0) {
        s.values = &actual[channel];
    } else {
        s.values = &target[channel];
        s.isTarget = true;
    }
    return s;
}

QVector<QPointF> SampleStore::points(int index) const
{
    const Series s = series(index);
    QVector<QPointF> out;
    out.reserve(int(std::min<quint64>(s.size(), quint64(std::numeric_limits<int>::max()))));
    for (quint64 n = s.first(); n < s.end(); ++n)
        out.append(s.at(n));
    return out;
}

void SampleStore::clear()
{
    const qint64 before = memoryBytes();
    for (int c = 0; c < ChannelCount; ++c) {
        actual[std::size_t(c)].clear();
        target[std::size_t(c)].clear();
    }
    releaseFreedMemory(before);
}

qint64 SampleStore::memoryBytes() const
{
    qint64 bytes = 0;
    for (int c = 0; c < ChannelCount; ++c)
        bytes += actual[std::size_t(c)].memoryBytes() + target[std::size_t(c)].memoryBytes();
    return bytes;
}
