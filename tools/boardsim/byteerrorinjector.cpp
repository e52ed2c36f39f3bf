#include "tools/boardsim/byteerrorinjector.h"

ByteErrorInjector::ByteErrorInjector(quint64 period, unsigned seed)
    : blockSize(period), random(seed)
{
    if (blockSize > 0)
        pickVictim();
}

void ByteErrorInjector::pickVictim()
{
    victim = std::uniform_int_distribution<quint64>(0, blockSize - 1)(random);
}

void ByteErrorInjector::apply(QByteArray &bytes)
{
    if (blockSize == 0)
        return;
    for (char &byte : bytes) {
        if (offset == victim) {
            // Flip at least one bit so the byte really changes.
            const int mask = std::uniform_int_distribution<int>(1, 255)(random);
            byte = char(static_cast<unsigned char>(byte) ^ mask);
            ++corruptedCount;
        }
        if (++offset == blockSize) {
            offset = 0;
            pickVictim();
        }
    }
}
