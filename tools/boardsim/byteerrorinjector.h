#pragma once

#include <QByteArray>

#include <random>

// Line noise on demand: corrupts exactly one byte in every `period` bytes that pass through,
// at a random place within each block of that many, so the faults do not line up with frames.
class ByteErrorInjector
{
public:
    // A period of 0 corrupts nothing.
    explicit ByteErrorInjector(quint64 period = 0, unsigned seed = 1);

    void apply(QByteArray &bytes);
    bool isActive() const { return blockSize > 0; }
    quint64 corrupted() const { return corruptedCount; }

private:
    void pickVictim();

    quint64 blockSize;
    quint64 offset = 0; // position inside the current block
    quint64 victim = 0; // the position in this block that gets corrupted
    quint64 corruptedCount = 0;
    std::mt19937 random;
};
