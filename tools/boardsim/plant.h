#pragma once

#include <random>
#include <vector>

// The process one controller channel drives: first order plus dead time, with Gaussian noise
// on the measurement. The state relaxes to `rest` when the input is zero.
class Plant
{
public:
    struct Model
    {
        double gain = 1.0;         // steady-state change per unit of input
        double timeConstant = 1.0; // seconds
        double deadTime = 0.0;     // seconds before an input change shows at all
        double rest = 0.0;         // value with no input (standstill, room temperature)
        double noise = 0.0;        // standard deviation of the measurement noise
    };

    // A small DC motor's speed and a small heater's temperature, quick enough that a step
    // plays out within the chart's visible window at 100 samples per second.
    static Model motor();
    static Model heater();

    Plant(const Model &model, unsigned seed);

    void setSampleTime(double dt);
    double sampleTime() const { return dt; }
    void setNoise(double standardDeviation);

    // Applies `input` for one sample period and returns the new measurement.
    double advance(double input);
    void reset();

    double value() const { return state; }
    double measured() const { return lastMeasured; }
    const Model &model() const { return params; }

private:
    void resizeDelay();

    Model params;
    double dt = 0.01;
    double decay = 0.0;
    std::vector<double> delayLine; // inputs waiting out the dead time, oldest at `delayHead`
    std::size_t delayHead = 0;
    double state = 0.0;
    double lastMeasured = 0.0;
    std::mt19937 random;
    std::normal_distribution<double> gauss{0.0, 1.0};
};
