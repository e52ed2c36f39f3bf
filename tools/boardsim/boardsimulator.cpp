#include "tools/boardsim/boardsimulator.h"

#include "pidlink/pidframe.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
struct ChannelDefaults
{
    bool motor;
    float p, i, d, target;
};

// Gains that give each loop a visible overshoot (about 10 to 25 %) and settle within two
// seconds, so a changed gain shows plainly on the chart.
constexpr ChannelDefaults channelDefaults[BoardSimulator::Channels] = {
    {true, 0.6f, 6.0f, 0.0f, 100.0f},
    {true, 0.8f, 5.0f, 0.01f, 60.0f},
    {false, 2.0f, 5.0f, 0.0f, 60.0f},
    {false, 1.5f, 4.0f, 0.0f, 80.0f},
};
} // namespace

BoardSimulator::BoardSimulator() : BoardSimulator(Options{}) {}

BoardSimulator::BoardSimulator(const Options &options) : opts(options)
{
    if (!(opts.sampleTime > 0.0))
        opts.sampleTime = 0.01;
    for (int ch = 0; ch < Channels; ++ch) {
        const ChannelDefaults &def = channelDefaults[ch];
        Plant::Model model = opts.plants[std::size_t(ch)]
                                 ? *opts.plants[std::size_t(ch)]
                                 : (def.motor ? Plant::motor() : Plant::heater());
        model.noise *= opts.noiseScale > 0.0 ? opts.noiseScale : 0.0;
        Loop &loop = loops[ch];
        loop.plant = std::make_unique<Plant>(model, opts.seed * 7919u + unsigned(ch));
        loop.plant->setSampleTime(opts.sampleTime);
        if (def.motor)
            loop.pid.setLimits(-100.0, 100.0); // PWM duty in both directions
        else
            loop.pid.setLimits(0.0, 100.0); // a heater cannot cool
        loop.pid.setForm(opts.perSampleForm, opts.derivativeOnError);
        loop.pid.setGains(def.p, def.i, def.d);
        loop.target = def.target;
        loop.actual = float(loop.plant->measured());
    }
}

void BoardSimulator::start()
{
    if (running)
        return;
    for (Loop &loop : loops) {
        loop.pid.reset();
        loop.plant->reset();
        loop.actual = float(loop.plant->measured());
    }
    running = true;
}

void BoardSimulator::stop()
{
    running = false;
}

bool BoardSimulator::value(unsigned char op, int channel, float *out) const
{
    if (channel < 0 || channel >= Channels)
        return false;
    const Loop &loop = loops[channel];
    switch (op) {
    case CmdP:
        *out = float(loop.pid.p());
        return true;
    case CmdI:
        *out = float(loop.pid.i());
        return true;
    case CmdD:
        *out = float(loop.pid.d());
        return true;
    case CmdTarget:
        *out = loop.target;
        return true;
    case CmdActual:
        *out = loop.actual;
        return true;
    default:
        return false;
    }
}

bool BoardSimulator::setValue(unsigned char op, int channel, float value)
{
    if (channel < 0 || channel >= Channels || !std::isfinite(value))
        return false;
    Loop &loop = loops[channel];
    PidController &pid = loop.pid;
    switch (op) {
    case CmdP:
        pid.setGains(value, pid.i(), pid.d());
        return true;
    case CmdI:
        pid.setGains(pid.p(), value, pid.d());
        return true;
    case CmdD:
        pid.setGains(pid.p(), pid.i(), value);
        return true;
    case CmdTarget:
        loop.target = value;
        return true;
    default:
        return false;
    }
}

void BoardSimulator::advance()
{
    for (Loop &loop : loops) {
        const double measured = loop.plant->measured();
        const double output = loop.pid.update(loop.target, measured, opts.sampleTime);
        loop.actual = float(loop.plant->advance(output));
    }
    ++periodCount;
}

QByteArray BoardSimulator::sampleFrame(int channel) const
{
    if (channel < 0 || channel >= Channels)
        return QByteArray();
    QByteArray frame(FrameSize, '\0');
    const Loop &loop = loops[channel];
    const float actual = opts.wireSafeMeasurements ? withoutLineFeedByte(loop.actual) : loop.actual;
    frame[0] = char('0' + channel);
    putFloatLE(frame.data() + 1, actual);
    putFloatLE(frame.data() + 5, loop.target);
    frame[9] = char(frameEnd());
    return frame;
}

QByteArray BoardSimulator::sampleLine() const
{
    QByteArray line;
    line.reserve(96);
    for (int ch = 0; ch < Channels; ++ch) {
        if (ch > 0)
            line += ',';
        // QByteArray::number ignores the locale: always '.' as the decimal point.
        line += QByteArray::number(double(loops[ch].actual), 'f', 3);
        line += ',';
        line += QByteArray::number(double(loops[ch].target), 'f', 3);
    }
    line += '\n';
    return line;
}

QByteArray BoardSimulator::tick()
{
    if (!running)
        return QByteArray();
    advance();
    if (opts.stringMode)
        return sampleLine();
    QByteArray out;
    out.reserve(FrameSize * Channels);
    for (int ch = 0; ch < Channels; ++ch)
        out += sampleFrame(ch);
    return out;
}

float BoardSimulator::withoutLineFeedByte(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    int highest = -1;
    for (int i = 3; i >= 0 && highest < 0; --i) {
        if (((bits >> (8 * i)) & 0xFFu) == 0x0Au)
            highest = i;
    }
    if (highest < 0)
        return value;
    // The nearest patterns without that byte: just below (byte 0x09, lower bytes all 0xFF) and
    // just above (byte 0x0B, lower bytes all 0x00). Neither has 0x0A anywhere.
    const int shift = 8 * highest;
    const std::uint32_t lowMask = highest == 0 ? 0u : ((1u << shift) - 1u);
    const std::uint32_t high = bits & ~((0xFFu << shift) | lowMask);
    const std::uint32_t below = high | (0x09u << shift) | lowMask;
    const std::uint32_t above = high | (0x0Bu << shift);
    float a;
    float b;
    std::memcpy(&a, &below, sizeof a);
    std::memcpy(&b, &above, sizeof b);
    // Same sign and exponent byte range, so the distance in value decides.
    const double da = double(value) - double(a);
    const double db = double(b) - double(value);
    return std::fabs(da) <= std::fabs(db) ? a : b;
}
