#pragma once

#include "tools/boardsim/pidcontroller.h"
#include "tools/boardsim/plant.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <optional>

// The controller board's four loops: channels 1 and 2 drive motors, 3 and 4 heaters. Each
// sample period advances all four and yields their samples as channel data frames or, in
// string mode, as one text line. Parameters are per channel; a start resets every loop to rest,
// so each run shows a fresh step response.
class BoardSimulator
{
public:
    static constexpr int Channels = 4;

    struct Options
    {
        double sampleTime = 0.01; // seconds per sample period
        double noiseScale = 1.0;  // 0 gives noiseless, exactly repeatable runs
        unsigned seed = 1;
        bool stringMode = false;
        // The program takes the first 0x0A of a read for a frame end, so a measured value with
        // that byte in its encoding can cost frames there. Measurements are noisy anyway: move
        // them to the nearest value without it. Targets and parameters always go as they are.
        bool wireSafeMeasurements = false;
        // A plant of one's own per channel instead of the motor or heater (its noise is
        // scaled by noiseScale too); the channel keeps its limits, gains and target.
        std::array<std::optional<Plant::Model>, 4> plants;
        // The controllers' form (PidController::setForm).
        bool perSampleForm = false;
        bool derivativeOnError = false;
    };

    BoardSimulator();
    explicit BoardSimulator(const Options &options);

    const Options &options() const { return opts; }
    void setStringMode(bool on) { opts.stringMode = on; }

    bool isRunning() const { return running; }
    void start();
    void stop();

    // The value a read request for `op` (P, I, D, target, actual) on `channel` is answered with;
    // false for an operation or channel the board does not have.
    bool value(unsigned char op, int channel, float *out) const;
    // Applies a value frame; false when the board has no such parameter or the value is not a
    // finite number.
    bool setValue(unsigned char op, int channel, float value);

    // One sample period of all four loops.
    void advance();
    // Frame or text line for the state after the last advance().
    QByteArray sampleFrame(int channel) const;
    QByteArray sampleLine() const;
    // advance() plus the period's output; nothing while stopped.
    QByteArray tick();

    quint64 periods() const { return periodCount; }
    const PidController &controller(int channel) const { return loops[channel].pid; }
    const Plant &plant(int channel) const { return *loops[channel].plant; }

    // `value` with no 0x0A among its four bytes, as close as possible to it.
    static float withoutLineFeedByte(float value);

private:
    struct Loop
    {
        PidController pid{0.0, 0.0};
        std::unique_ptr<Plant> plant;
        float target = 0.0f;
        float actual = 0.0f;
    };

    Options opts;
    std::array<Loop, Channels> loops;
    bool running = false;
    quint64 periodCount = 0;
};
