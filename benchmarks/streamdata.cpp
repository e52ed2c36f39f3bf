#include "benchmarks/streamdata.h"

#include "pidlink/pidframe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

float sampleWave(int channel, qint64 index)
{
    const double t = double(index);
    return float(100.0 * std::sin(t * 0.01 + channel) + 10.0 * std::sin(t * 0.37));
}

void appendChannelFrames(QByteArray &out, qint64 first, qint64 count)
{
    const int start = out.size();
    out.resize(start + int(count) * FrameSize);
    char *p = out.data() + start;
    for (qint64 k = first; k < first + count; ++k, p += FrameSize) {
        const int channel = int(k % 4);
        const qint64 sample = k / 4;
        p[0] = char('0' + channel);
        putFloatLE(p + 1, sampleWave(channel, sample));
        putFloatLE(p + 5, sampleWave(channel, sample) + 1.0f);
        p[9] = char(frameEnd());
    }
}

void appendSampleLines(QByteArray &out, qint64 first, qint64 count)
{
    char line[160];
    for (qint64 k = first; k < first + count; ++k) {
        const int n = std::snprintf(line, sizeof line, "%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f\n",
                                    double(sampleWave(0, k)), double(sampleWave(0, k)) + 1,
                                    double(sampleWave(1, k)), double(sampleWave(1, k)) + 1,
                                    double(sampleWave(2, k)), double(sampleWave(2, k)) + 1,
                                    double(sampleWave(3, k)), double(sampleWave(3, k)) + 1);
        out.append(line, n);
    }
}

void appendTerminalText(QByteArray &out, qint64 first, qint64 count)
{
    // 64-byte lines, so byte n of the log is known without generating what comes before.
    constexpr int LineLength = 64;
    char line[160];
    qint64 done = 0;
    while (done < count) {
        const qint64 at = first + done;
        const qint64 number = at / LineLength;
        const int offset = int(at % LineLength);
        std::snprintf(line, sizeof line, "%08lld t=%9.3f rpm=%6d temp=%6.2f state=RUNNING  ok!\r\n",
                      static_cast<long long>(number % 100000000),
                      double(number % 100000000) * 0.001, int(number * 7 % 100000),
                      20.0 + double(number % 1000) / 100.0);
        const int take = int(std::min<qint64>(LineLength - offset, count - done));
        out.append(line + offset, take);
        done += take;
    }
}
