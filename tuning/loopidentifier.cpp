#include "tuning/loopidentifier.h"

#include "tuning/closedloop.h"
#include "tuning/neldermead.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A step's information is in its first part; a long settled tail adds time, not knowledge.
constexpr int FitHorizon = 4000;
constexpr int Starts = 3;

double median(std::vector<double> &v)
{
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// First sample whose progress towards the target reaches `level`; -1 when none does.
int firstReaching(const QVector<double> &y, double y0, double delta, double level)
{
    for (int k = 0; k < y.size(); ++k) {
        if ((y[k] - y0) / delta >= level)
            return k;
    }
    return -1;
}

} // namespace

double LoopIdentifier::noiseOf(const QVector<double> &values)
{
    const int n = values.size();
    if (n < 3)
        return 0.0;
    const int from = n >= 50 ? n - n / 5 : 0;
    std::vector<double> d;
    d.reserve(std::size_t(n - from));
    for (int k = from + 1; k < n; ++k)
        d.push_back(values[k] - values[k - 1]);
    // The median absolute deviation of successive differences: a drift moves their median,
    // not their spread, and the odd outlier moves neither. Differences of independent noise
    // have sqrt(2) times its deviation.
    const double centre = median(d);
    for (double &x : d)
        x = std::fabs(x - centre);
    return 1.4826 * median(d) / std::sqrt(2.0);
}

double LoopIdentifier::fitPercent(const QVector<double> &measured, const QVector<double> &fitted)
{
    const int n = std::min(measured.size(), fitted.size());
    if (n == 0)
        return -std::numeric_limits<double>::infinity();
    double mean = 0.0;
    for (int k = 0; k < n; ++k)
        mean += measured[k];
    mean /= n;
    double error = 0.0;
    double spread = 0.0;
    for (int k = 0; k < n; ++k) {
        error += (measured[k] - fitted[k]) * (measured[k] - fitted[k]);
        spread += (measured[k] - mean) * (measured[k] - mean);
    }
    if (!(spread > 0.0))
        return error > 0.0 ? -std::numeric_limits<double>::infinity() : 100.0;
    return 100.0 * (1.0 - std::sqrt(error / spread));
}

LoopIdentifier::Result LoopIdentifier::identify(const StepData &data, const ControllerForm &form)
{
    Result result;
    const QVector<double> &y = data.actual;
    const int n = y.size();
    const double dt = data.samplePeriodS;
    if (!data.gainsKnown) {
        result.refusal = tr("不知道这一段运行时的P、I、D：请先在P、I、D旁点“读”，再运行一次阶跃");
        return result;
    }
    const ControllerForm::Gains &gains = data.gains;
    if (!std::isfinite(gains.p) || !std::isfinite(gains.i) || !std::isfinite(gains.d)) {
        result.refusal = tr("P、I、D不是有效数字");
        return result;
    }
    if (gains.p == 0.0 && gains.i == 0.0) {
        result.refusal = tr("P和I都为0：控制器没有动作，无从识别");
        return result;
    }
    if (!(dt > 0.0) || !std::isfinite(dt)) {
        result.refusal = tr("采样周期未知：这一段没有采样的到达时间");
        return result;
    }
    if (!form.isValid()) {
        result.refusal = tr("控制器形式无效：输出上限必须大于下限");
        return result;
    }
    if (n < MinSamples) {
        result.refusal = tr("阶跃后只有%1个采样，至少要%2个").arg(n).arg(MinSamples);
        return result;
    }
    for (const double v : y) {
        if (!std::isfinite(v)) {
            result.refusal = tr("这一段含有不是数字的实际值");
            return result;
        }
    }
    if (!std::isfinite(data.target) || !std::isfinite(data.initialOutput)) {
        result.refusal = tr("目标值不是有效数字");
        return result;
    }
    const double y0 = y.first();
    const double delta = data.target - y0;
    result.noise = noiseOf(y);
    if (!(std::fabs(delta) >= StepToNoise * result.noise) || std::fabs(delta) < 1e-9) {
        result.refusal = tr("没有真正的阶跃：目标只变了%1，不到噪声（%2）的%3倍")
                             .arg(std::fabs(delta), 0, 'g', 3)
                             .arg(result.noise, 0, 'g', 3)
                             .arg(StepToNoise);
        return result;
    }

    // A positive loop gain: the plant's gain has the sign of the controller's.
    const double sign = (gains.p != 0.0 ? gains.p : gains.i) > 0.0 ? 1.0 : -1.0;
    const ControllerForm::Gains perSecond = form.toPerSecond(gains, dt);
    const int horizon = std::min(n, FitHorizon);

    ClosedLoop::Setup setup;
    setup.form = form;
    setup.gains = gains;
    setup.samplePeriodS = dt;
    setup.target = data.target;
    setup.initialOutput = data.initialOutput;
    setup.running = data.running;
    const double scale = std::fabs(delta);
    QVector<double> simulated;
    simulated.reserve(n);
    // x: log |gain|, log time constant (s), dead time (samples, mirrored at 0), start level
    // relative to the first sample in steps.
    const auto modelOf = [&](const std::vector<double> &x) {
        PlantModel m;
        m.gain = sign * std::exp(std::clamp(x[0], -40.0, 40.0));
        m.timeConstantS = std::exp(std::clamp(x[1], -40.0, 40.0));
        m.deadTimeS = std::fabs(x[2]) * dt;
        const double start = y0 + x[3] * scale;
        m.rest = start - m.gain * data.initialOutput;
        return m;
    };
    const auto cost = [&](const std::vector<double> &x) {
        setup.plant = modelOf(x);
        if (!ClosedLoop::simulate(setup, horizon, simulated))
            return std::numeric_limits<double>::infinity();
        double sum = 0.0;
        for (int k = 0; k < horizon; ++k) {
            const double e = y[k] - simulated[k];
            sum += e * e;
        }
        return sum / (scale * scale * horizon);
    };

    // First guesses from the step: when it starts to move, how long it takes to 63 %, and a
    // gain that makes the loop gain about one.
    const double moving = std::max(0.05, 3.0 * result.noise / scale);
    const int start = std::max(0, firstReaching(y, y0, delta, moving) - 1);
    int t63 = firstReaching(y, y0, delta, 0.63);
    if (t63 < 0)
        t63 = n / 2;
    const double tau0 = std::max(double(t63 - start), 1.0) * dt;
    const double gain0 =
        1.0 / std::max(std::fabs(perSecond.p) + std::fabs(perSecond.i) * tau0, 1e-12);

    struct Candidate
    {
        std::vector<double> x;
        double cost;
    };
    std::vector<Candidate> grid;
    for (int gk = -3; gk <= 3; ++gk) {
        for (const double tk : {0.2, 0.5, 1.0, 2.0, 5.0}) {
            for (const double lk : {0.0, 0.5, 1.0}) {
                std::vector<double> x = {std::log(gain0) + gk * std::log(10.0) / 2.0,
                                         std::log(tau0 * tk), lk * start, 0.0};
                const double c = cost(x);
                ++result.evaluations;
                grid.push_back({x, c});
            }
        }
    }
    std::sort(grid.begin(), grid.end(),
              [](const Candidate &a, const Candidate &b) { return a.cost < b.cost; });

    NelderMead::Result best;
    best.cost = std::numeric_limits<double>::infinity();
    const std::vector<double> steps = {0.3, 0.3, std::max(1.0, 0.3 * start), 0.05};
    for (int s = 0; s < Starts && s < int(grid.size()); ++s) {
        const NelderMead::Result r = NelderMead::minimise(cost, grid[std::size_t(s)].x, steps);
        result.evaluations += r.evaluations;
        if (r.cost < best.cost)
            best = r;
    }
    // A fresh simplex around the best point gets past a collapsed one.
    const NelderMead::Result polished =
        NelderMead::minimise(cost, best.x, {0.05, 0.05, 0.5, 0.01}, 300);
    result.evaluations += polished.evaluations;
    if (polished.cost < best.cost)
        best = polished;

    result.model = modelOf(best.x);
    setup.plant = result.model;
    ClosedLoop::simulate(setup, n, result.fitted);
    result.fitPercent = fitPercent(y, result.fitted);
    if (!(result.fitPercent >= MinFitPercent)) {
        result.refusal =
            tr("拟合度只有%1%（至少要%2%）：这一段不像一阶加纯滞后的对象，或控制器形式不对")
                .arg(result.fitPercent, 0, 'f', 1)
                .arg(MinFitPercent);
        return result;
    }
    result.ok = true;
    return result;
}
