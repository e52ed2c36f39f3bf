#include "tuning/tuningrules.h"

#include "tuning/closedloop.h"
#include "tuning/neldermead.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

namespace {

constexpr int FrequencyPoints = 160;
// The identification's likely error in gain, time constant and dead time (a fraction; the
// dead time also a quarter period more or less).
constexpr double ModelError = 0.05;
// How much later (or, inverted, earlier) than predicted the nearby loops may settle.
constexpr double SettlingSpread = 1.1;
constexpr double Pi = 3.14159265358979323846;

struct Candidate
{
    double kp; // per second
    double ti; // integral time, s
    double td; // derivative time, s
};

double sigmoid(double x)
{
    return 1.0 / (1.0 + std::exp(-x));
}

} // namespace

TuningRules::Constraints TuningRules::constraintsOf(Aim aim)
{
    switch (aim) {
    case Aim::Robust:
        // "No overshoot" on a noise-free model: a trace of one is rounding.
        return {0.5, 1.4};
    case Aim::Balanced:
        return {5.0, 1.6};
    case Aim::Fast:
        break;
    }
    return {15.0, 2.0};
}

QString TuningRules::aimName(Aim aim)
{
    switch (aim) {
    case Aim::Robust:
        return tr("稳健");
    case Aim::Balanced:
        return tr("均衡");
    case Aim::Fast:
        break;
    }
    return tr("快速");
}

// The loop's frequency response split so that a new set of gains costs a few multiplications a
// frequency: L = (Kp + Ki * integral + Kd * rate) * plant.
struct TuningRules::Frequencies
{
    std::vector<std::complex<double>> plant;
    std::vector<std::complex<double>> integral; // dt / (z - 1)
    std::vector<std::complex<double>> rate;     // filtered (1 - 1/z) / dt

    Frequencies(const PlantModel &model, const ControllerForm &form, double dt)
    {
        const double delay = model.deadTimeS / dt;
        const double m = std::floor(delay);
        const double f = delay - m;
        const double a = std::exp(-dt / model.timeConstantS);
        const double late = std::exp(-(1.0 - f) * dt / model.timeConstantS);
        const double b0 = model.gain * (1.0 - late);
        const double b1 = model.gain * (late - a);
        const double alpha =
            form.derivativeFilterS > 0.0 ? dt / (form.derivativeFilterS + dt) : 1.0;
        using C = std::complex<double>;
        // Log-spaced from well below the plant's corner up to Nyquist.
        const double wMax = Pi / dt;
        const double wMin = std::min(1e-3 / (model.timeConstantS + model.deadTimeS), wMax * 1e-4);
        for (int k = 0; k < FrequencyPoints; ++k) {
            const double w = wMin * std::pow(wMax / wMin, double(k) / (FrequencyPoints - 1));
            const C z = std::polar(1.0, w * dt);
            const C zi = 1.0 / z;
            plant.push_back((b0 + b1 * zi) * std::polar(1.0, -w * dt * m) / (z - a));
            integral.push_back(dt / (z - 1.0));
            rate.push_back(alpha * (1.0 - zi) / (dt * (1.0 - (1.0 - alpha) * zi)));
        }
    }

    double maxSensitivity(const ControllerForm::Gains &g) const
    {
        double ms = 0.0;
        for (std::size_t k = 0; k < plant.size(); ++k) {
            const std::complex<double> loop = (g.p + g.i * integral[k] + g.d * rate[k]) * plant[k];
            ms = std::max(ms, 1.0 / std::abs(1.0 + loop));
        }
        return ms;
    }
};

double TuningRules::maxSensitivity(const PlantModel &model, const ControllerForm &form,
                                   const ControllerForm::Gains &gains, double dt)
{
    if (!model.isValid() || !(dt > 0.0) || !form.isValid())
        return std::numeric_limits<double>::infinity();
    return Frequencies(model, form, dt).maxSensitivity(form.toPerSecond(gains, dt));
}

double TuningRules::predictionBand(double band, double noise, double stepSize)
{
    const double margin = std::fabs(stepSize) > 0.0 && std::isfinite(noise) && noise > 0.0
                              ? noise / std::fabs(stepSize)
                              : 0.0;
    return band - std::min(margin, band / 2.0);
}

std::array<TuningRules::Suggestion, TuningRules::AimCount>
TuningRules::suggest(const PlantModel &model, const ControllerForm &form, const Step &step)
{
    std::array<Suggestion, AimCount> out;
    for (int a = 0; a < AimCount; ++a) {
        out[std::size_t(a)].aim = Aim(a);
        out[std::size_t(a)].samplePeriodS = step.samplePeriodS;
    }
    const double dt = step.samplePeriodS;
    QString refusal;
    if (!model.isValid() || !form.isValid() || !(dt > 0.0) || !std::isfinite(dt))
        refusal = tr("没有可用的模型");
    else if (model.gain < 0.0)
        refusal = tr("对象增益为负：需要负的P、I、D，这里只给非负的建议");
    else if (!std::isfinite(step.target) || !std::isfinite(step.start) ||
             std::fabs(step.target - step.start) < 1e-9)
        refusal = tr("没有阶跃可预测");
    if (!refusal.isEmpty()) {
        for (Suggestion &s : out)
            s.refusal = refusal;
        return out;
    }

    const double tau = model.timeConstantS;
    // Holding the output over a period acts as half a period more of dead time.
    const double theta = model.deadTimeS + dt / 2.0;
    const double k = model.gain;
    const double settleScale = tau + theta;
    const int horizon = std::clamp(int(std::ceil(12.0 * settleScale / dt)), 100, 3000);
    const int traceLength = step.samples > 0 ? step.samples : horizon;

    ClosedLoop::Setup setup;
    setup.plant = model;
    setup.plant.rest = step.start - model.gain * step.initialOutput;
    setup.form = form;
    setup.samplePeriodS = dt;
    setup.target = step.target;
    setup.initialOutput = step.initialOutput;
    setup.running = step.running;
    const double size = std::fabs(step.target - step.start);
    const double inner = predictionBand(step.band, step.noise, size);
    const double noiseLimit = form.limited && step.noise > 0.0 && std::isfinite(step.noise)
                                  ? NoiseShare * (form.outputMax - form.outputMin)
                                  : 0.0;

    // The model is an estimate: a slightly different loop must settle about as predicted too.
    // Two corners of its likely error, one livelier (more gain and dead time, a quicker lag),
    // one slower. Near an output limit this matters most: an output that just reaches it
    // freezes the integral for a period, and the step then creeps over its last per cent.
    std::array<ClosedLoop::Setup, 2> nearby = {setup, setup};
    for (std::size_t n = 0; n < nearby.size(); ++n) {
        const double s = n == 0 ? 1.0 : -1.0;
        PlantModel &p = nearby[n].plant;
        p.gain = model.gain * (1.0 + s * ModelError);
        // Less gain may ask for more output than the limits give, and that loop never
        // settles whatever the gains: take the least gain that just reaches the target, whose
        // output ends at the limit (its slow last approach is what such a step shows).
        const double needed = step.initialOutput + (step.target - step.start) / p.gain;
        if (form.limited && (needed > form.outputMax || needed < form.outputMin)) {
            const double limit = needed > form.outputMax ? form.outputMax : form.outputMin;
            const double least = (step.target - step.start) / (limit - step.initialOutput);
            p.gain = std::isfinite(least) && least > 0.0 ? std::min(least, model.gain) : model.gain;
        }
        p.timeConstantS = model.timeConstantS / (1.0 + s * ModelError);
        p.deadTimeS =
            std::max(0.0, model.deadTimeS + s * (ModelError * model.deadTimeS + dt / 4.0));
        p.rest = step.start - p.gain * step.initialOutput;
    }

    const auto gainsOf = [&](const Candidate &c) {
        return form.fromPerSecond(ControllerForm::Gains{c.kp, c.kp / c.ti, c.kp * c.td}, dt);
    };
    const Frequencies frequencies(model, form, dt);
    QVector<double> trace;
    trace.reserve(std::max(horizon, traceLength));

    std::vector<double> previous;
    for (int a = 0; a < AimCount; ++a) {
        Suggestion &s = out[std::size_t(a)];
        const Constraints limits = constraintsOf(s.aim);
        // x: log Kp, log Ti, derivative time as a fraction of the effective dead time.
        const auto candidateOf = [&](const std::vector<double> &x) {
            return Candidate{std::exp(std::clamp(x[0], -40.0, 40.0)),
                             std::exp(std::clamp(x[1], -40.0, 40.0)), theta * sigmoid(x[2])};
        };
        const auto cost = [&](const std::vector<double> &x) {
            const Candidate c = candidateOf(x);
            setup.gains = gainsOf(c);
            if (!ClosedLoop::simulate(setup, horizon, trace))
                return std::numeric_limits<double>::infinity();
            // Settling into half the band: a response that only grazes the band's edge on the
            // model may leave it on the board.
            const StepFigures f = StepFigures::of(trace, step.target, step.band / 2.0);
            const StepFigures full = StepFigures::of(trace, step.target, inner);
            double iae = 0.0;
            for (const double y : trace)
                iae += std::fabs(step.target - y);
            iae *= dt / (size * settleScale);
            const auto samplesOf = [horizon](const StepFigures &figures) {
                return figures.settlingSamples ? double(*figures.settlingSamples) : 2.0 * horizon;
            };
            double worst = samplesOf(f);
            // Entering the band itself much before the prediction is a slow tail that noise
            // may stretch either way.
            double best = std::min(samplesOf(full),
                                   samplesOf(StepFigures::of(trace, step.target, step.band)));
            // In the band for twice the nominal settling counts as settled: most of the
            // horizon is there for slow candidates only.
            const int reach = std::min(horizon, std::max(2 * int(worst) + 10, 50));
            for (ClosedLoop::Setup &near : nearby) {
                near.gains = setup.gains;
                if (!ClosedLoop::simulate(near, reach, trace))
                    return std::numeric_limits<double>::infinity();
                const double n = samplesOf(StepFigures::of(trace, step.target, inner));
                worst = std::max(worst, n);
                best = std::min(best, n);
            }
            const double settling = worst * dt / settleScale;
            // The prediction is the nominal settling; the model's error moves the measured one
            // between the best and the worst, so keep those close to it.
            const double predicted = std::max(samplesOf(full), 1.0);
            const double spread = std::max(0.0, worst / predicted - SettlingSpread) +
                                  std::max(0.0, 1.0 / SettlingSpread - best / predicted);
            const double ms = frequencies.maxSensitivity(form.toPerSecond(setup.gains, dt));
            // The controller's gain at Nyquist, where white measurement noise has most power.
            const double alpha =
                form.derivativeFilterS > 0.0 ? dt / (form.derivativeFilterS + dt) : 1.0;
            const double highGain = std::fabs(c.kp - c.kp / c.ti * dt / 2.0 +
                                              c.kp * c.td * 2.0 * alpha / (dt * (2.0 - alpha)));
            const double noiseExcess =
                noiseLimit > 0.0 ? std::max(0.0, highGain * step.noise / noiseLimit - 1.0) : 0.0;
            const double overshootExcess =
                std::max(0.0, f.overshootPercent - limits.maxOvershootPercent);
            const double msExcess = std::max(0.0, ms - limits.maxSensitivity);
            return settling + 0.5 * iae + 10.0 * overshootExcess * overshootExcess +
                   100.0 * spread * spread + 1000.0 * msExcess * msExcess +
                   100.0 * noiseExcess * noiseExcess;
        };

        // The established starting points: SIMC's PI (Skogestad 2003) with a closed-loop time
        // constant of 2, 1 and 0.5 dead times for the three aims, and AMIGO's PID (Astrom and
        // Hagglund 2004).
        const double tauC = theta * (a == 0 ? 2.0 : a == 1 ? 1.0 : 0.5);
        const double simcKp = tau / (k * (tauC + theta));
        const double simcTi = std::min(tau, 4.0 * (tauC + theta));
        const double amigoKp = (0.2 + 0.45 * tau / theta) / k;
        const double amigoTi = (0.4 * theta + 0.8 * tau) / (theta + 0.1 * tau) * theta;
        const double amigoTd = 0.5 * theta * tau / (0.3 * theta + tau);
        const double amigoFraction = std::clamp(amigoTd / theta, 0.02, 0.98);
        const std::vector<std::vector<double>> starts = {
            {std::log(simcKp), std::log(simcTi), -4.0},
            {std::log(amigoKp), std::log(amigoTi), std::log(amigoFraction / (1 - amigoFraction))}};
        NelderMead::Result best;
        best.cost = std::numeric_limits<double>::infinity();
        for (const std::vector<double> &x0 : starts) {
            const NelderMead::Result r = NelderMead::minimise(cost, x0, {0.4, 0.4, 1.5}, 200, 1e-6);
            if (r.cost < best.cost)
                best = r;
        }
        // The stricter aim's gains meet this aim's constraints too: never settle for worse.
        if (!previous.empty()) {
            const double c = cost(previous);
            if (c < best.cost)
                best = NelderMead::Result{previous, c, 1};
        }
        const NelderMead::Result polished =
            NelderMead::minimise(cost, best.x, {0.1, 0.1, 0.5}, 120, 1e-7);
        if (polished.cost < best.cost)
            best = polished;
        previous = best.x;

        const ControllerForm::Gains g = gainsOf(candidateOf(best.x));
        if (!std::isfinite(g.p) || !std::isfinite(g.i) || !std::isfinite(g.d) || g.p < 0.0 ||
            g.i < 0.0 || g.d < 0.0) {
            s.refusal = tr("找不到满足要求的增益");
            continue;
        }
        s.p = g.p;
        s.i = g.i;
        s.d = g.d;
        setup.gains = g;
        ClosedLoop::simulate(setup, traceLength, s.trace);
        s.predicted = StepFigures::of(s.trace, step.target, inner);
        s.sensitivity = frequencies.maxSensitivity(form.toPerSecond(g, dt));
        s.ok = true;
    }
    return out;
}
