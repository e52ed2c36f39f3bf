#include "pidlink/pidframe.h"

#include <cstdint>
#include <cstring>

void putFloatLE(char *p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

float getFloatLE(const char *p)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t(static_cast<unsigned char>(p[i])) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

char *buildCommandFrame(char *out, unsigned char op, unsigned char dir, unsigned char channel,
                        unsigned char reserved, float value)
{
    out[0] = CommandKind;
    out[1] = static_cast<char>(op);
    out[2] = static_cast<char>(dir);
    out[3] = static_cast<char>(channel);
    out[4] = static_cast<char>(reserved);
    putFloatLE(out + 5, value);
    out[9] = static_cast<char>(frameEnd());
    return out;
}

float commandValue(const char *frame)
{
    return getFloatLE(frame + 5);
}

float sampleValue(const char *frame, unsigned char index)
{
    if (index == 1)
        return getFloatLE(frame + 1);
    if (index == 2)
        return getFloatLE(frame + 5);
    return 0.0f;
}

int frameEnd()
{
    return 0x0A;
}
