#pragma once

// One discrete PID loop as a small controller board runs it: position form, derivative on the
// measurement (a target step gives no derivative kick) through a short low-pass, output clamped
// to its limits, and an integral that neither grows while the output is pinned at a limit nor
// ever leaves the output range (anti-windup).
class PidController
{
public:
    PidController(double outputMin, double outputMax);

    void setGains(double p, double i, double d);
    double p() const { return kp; }
    double i() const { return ki; }
    double d() const { return kd; }

    // How I and D count time: per second (the default, dt in seconds, the derivative through
    // the low-pass) or per sample (integral += I * e, D times the change since the last sample,
    // unfiltered). The derivative acts on the measurement (the default) or on the error.
    void setForm(bool perSample, bool derivativeOnError);
    bool perSample() const { return samples; }
    bool derivativeOnError() const { return onError; }

    void setLimits(double outputMin, double outputMax);
    double outputMin() const { return minOut; }
    double outputMax() const { return maxOut; }

    // One control period of `dt` seconds; returns the clamped output.
    double update(double target, double measured, double dt);
    void reset();

    // The integral contribution to the output, in output units.
    double integral() const { return iTerm; }
    double output() const { return lastOutput; }

private:
    double kp = 0.0;
    double ki = 0.0;
    double kd = 0.0;
    double minOut;
    double maxOut;
    double iTerm = 0.0;
    double derivative = 0.0;
    double previousMeasured = 0.0;
    double previousError = 0.0;
    bool samples = false;
    bool onError = false;
    bool primed = false;
    double lastOutput = 0.0;
};
