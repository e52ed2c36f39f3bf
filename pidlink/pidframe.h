#pragma once

// The PID link's 10-byte frames. A command frame is 'C', operation, direction, channel,
// reserved, a little-endian binary32 value and 0x0A; a channel data frame is '0'..'3', the
// actual and the target value (binary32, little-endian) and 0x0A. A frame is a plain char
// array owned by the caller.

constexpr int FrameSize = 10;
// Data frames '0'..'3': the channels every part of the program counts.
constexpr int ChannelCount = 4;

enum PidOperation : unsigned char {
    CmdP = 1,
    CmdI = 2,
    CmdD = 3,
    CmdTarget = 4,
    CmdActual = 6,
    CmdStart = 7,
    CmdStop = 8,
};

enum PidDirection : unsigned char {
    DirRead = 0,
    DirWrite = 1,
};

constexpr char CommandKind = 'C';

char *buildCommandFrame(char *out, unsigned char op, unsigned char dir, unsigned char channel,
                        unsigned char reserved, float value);
float commandValue(const char *frame);
// index 1: actual value, index 2: target value; any other index gives 0.
float sampleValue(const char *frame, unsigned char index);
int frameEnd();

// Writes the raw bits of a little-endian binary32 at p, and reads them back.
void putFloatLE(char *p, float value);
float getFloatLE(const char *p);
