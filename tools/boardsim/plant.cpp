#include "tools/boardsim/plant.h"

#include <algorithm>
#include <cmath>

Plant::Model Plant::motor()
{
    Model m;
    m.gain = 2.0;
    m.timeConstant = 0.25;
    m.deadTime = 0.03;
    m.rest = 0.0;
    m.noise = 0.5;
    return m;
}

Plant::Model Plant::heater()
{
    Model m;
    m.gain = 1.0;
    m.timeConstant = 0.8;
    m.deadTime = 0.15;
    m.rest = 25.0;
    m.noise = 0.15;
    return m;
}

Plant::Plant(const Model &model, unsigned seed) : params(model), random(seed)
{
    params.timeConstant = std::max(params.timeConstant, 1e-6);
    params.deadTime = std::max(params.deadTime, 0.0);
    params.noise = std::max(params.noise, 0.0);
    setSampleTime(dt);
    reset();
}

void Plant::setSampleTime(double seconds)
{
    dt = seconds > 0.0 ? seconds : 0.01;
    // Exact discretisation of the first-order lag, stable for any step length.
    decay = std::exp(-dt / params.timeConstant);
    resizeDelay();
}

void Plant::setNoise(double standardDeviation)
{
    params.noise = std::max(standardDeviation, 0.0);
}

void Plant::resizeDelay()
{
    const auto steps = static_cast<std::size_t>(std::lround(params.deadTime / dt));
    delayLine.assign(steps, 0.0);
    delayHead = 0;
}

void Plant::reset()
{
    std::fill(delayLine.begin(), delayLine.end(), 0.0);
    delayHead = 0;
    state = params.rest;
    lastMeasured = params.rest;
}

double Plant::advance(double input)
{
    if (!std::isfinite(input))
        input = 0.0;
    double applied = input;
    if (!delayLine.empty()) {
        applied = delayLine[delayHead];
        delayLine[delayHead] = input;
        delayHead = (delayHead + 1) % delayLine.size();
    }
    state = params.rest + decay * (state - params.rest) + (1.0 - decay) * params.gain * applied;
    lastMeasured = state + (params.noise > 0.0 ? params.noise * gauss(random) : 0.0);
    return lastMeasured;
}
