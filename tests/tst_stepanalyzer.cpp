// Step-response figures: hand-computed responses, the table's cell texts, windows and traces,
// and a recomputation from the definitions on random runs.
#include "chart/stepanalyzer.h"

#include <QRandomGenerator>
#include <QtTest>

#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace {
using Figures = StepAnalyzer::Figures;
using Floats = QVector<float>;
const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();

struct Sample
{
    float actual;
    float target;
    qint64 ns;
};

// The definitions, written out directly: every figure of one window from its samples, the
// channel's range and the analyzer's noise estimate (checked on synthetic noise below).
Figures bruteFigures(const std::vector<Sample> &w, qint64 first, double range = 0,
                     std::optional<double> noise = std::nullopt)
{
    Figures f;
    f.firstSample = first;
    f.samples = qint64(w.size());
    const qint64 n = f.samples;
    bool timed = n >= 2 && w.back().ns >= w.front().ns;
    for (const Sample &s : w)
        timed = timed && s.ns >= 0;
    if (timed)
        f.intervalMs = double(w.back().ns - w.front().ns) / double(n - 1) / 1e6;
    const double y0 = w[0].actual;
    const double r = w[0].target;
    const double delta = r - y0;
    if (!std::isfinite(delta) || std::fabs(delta) < 1e-9 || std::fabs(delta) < 0.01 * range ||
        (noise && std::fabs(delta) < 5 * *noise))
        return f;
    f.y0 = y0;
    f.target = r;
    std::vector<double> p;
    for (const Sample &s : w)
        p.push_back((double(s.actual) - y0) / delta);
    qint64 k10 = -1, k90 = -1, peak = 0;
    for (qint64 k = 0; k < n; ++k) {
        if (k10 < 0 && p[k] >= 0.1)
            k10 = k;
        if (k90 < 0 && p[k] >= 0.9)
            k90 = k;
        if (p[k] > p[peak])
            peak = k;
    }
    if (k90 >= 0)
        f.riseSamples = k90 - k10;
    f.peakSamples = peak;
    f.overshootPercent = std::max(0.0, p[peak] - 1.0) * 100.0;
    qint64 m = n;
    while (m > 0 && std::fabs(p[m - 1] - 1.0) <= 0.02)
        --m;
    if (m < n)
        f.settlingSamples = m;
    const qint64 tail = (n + 9) / 10;
    long double sum = 0;
    bool finite = true;
    for (qint64 k = n - tail; k < n; ++k) {
        finite = finite && std::isfinite(w[k].actual);
        sum += w[k].actual;
    }
    if (finite)
        f.steadyStateError = r - double(sum / tail);
    if (f.intervalMs) {
        f.riseMs = f.riseSamples ? std::optional(*f.riseSamples * *f.intervalMs) : std::nullopt;
        f.peakMs = *f.peakSamples * *f.intervalMs;
        f.settlingMs =
            f.settlingSamples ? std::optional(*f.settlingSamples * *f.intervalMs) : std::nullopt;
    }
    return f;
}

// Empty when equal; the error may differ by the rounding of a long sum. Figures read from a
// smoothed response (noise found) are left to the noisy steps' test.
QString difference(const Figures &got, const Figures &want, double scale)
{
    QStringList out;
    const auto check = [&out](const char *name, const auto &a, const auto &b, double tolerance) {
        if (a.has_value() != b.has_value() ||
            (a && !(double(*a) == double(*b) || std::fabs(double(*a) - double(*b)) <= tolerance)))
            out << QStringLiteral("%1 %2/%3")
                       .arg(name)
                       .arg(a ? double(*a) : -1)
                       .arg(b ? double(*b) : -1);
    };
    check("first", std::optional(got.firstSample), std::optional(want.firstSample), 0);
    check("samples", std::optional(got.samples), std::optional(want.samples), 0);
    check("y0", got.y0, want.y0, 0);
    check("r", got.target, want.target, 0);
    check("error", got.steadyStateError, want.steadyStateError, 1e-12 * scale);
    check("interval", got.intervalMs, want.intervalMs, 0);
    if (got.noise && *got.noise > 0)
        return out.join(QStringLiteral("; "));
    check("rise", got.riseSamples, want.riseSamples, 0);
    check("peak", got.peakSamples, want.peakSamples, 0);
    check("overshoot", got.overshootPercent, want.overshootPercent, 0);
    check("settling", got.settlingSamples, want.settlingSamples, 0);
    check("riseMs", got.riseMs, want.riseMs, 0);
    check("peakMs", got.peakMs, want.peakMs, 0);
    check("settlingMs", got.settlingMs, want.settlingMs, 0);
    return out.join(QStringLiteral("; "));
}
} // namespace

Q_DECLARE_METATYPE(StepAnalyzer::Figures)

class TestStepAnalyzer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handComputed_data();
    void handComputed();
    void cellTexts_data();
    void cellTexts();
    void countsQueueAndChannels();
    void noisySteps_data();
    void noisySteps();
    void matchesDefinitionsOnRandomRuns_data();
    void matchesDefinitionsOnRandomRuns();
};

void TestStepAnalyzer::handComputed_data()
{
    QTest::addColumn<Floats>("actual");
    QTest::addColumn<float>("target");
    QTest::addColumn<qint64>("intervalNs"); // 0: no arrival times
    QTest::addColumn<QStringList>("cells");

    const Floats firstOrder{0,        0.5,       0.75,       0.875,       0.9375,      0.96875,
                            0.984375, 0.9921875, 0.99609375, 0.998046875, 0.9990234375};
    QTest::newRow("first-order rise")
        << firstOrder << 1.0f << qint64(0)
        << QStringList{"0 → 1", "3点", "10点", "0.0%", "6点", "0.001465"};
    QTest::newRow("first-order, 2 ms apart")
        << firstOrder << 1.0f << qint64(2000000)
        << QStringList{"0 → 1", "3点 (6 ms)", "10点 (20 ms)", "0.0%", "6点 (12 ms)", "0.001465"};
    const Floats secondOrder{0, 0.8f, 1.6f, 2.3f, 2.4f, 2.1f, 1.9f, 1.98f, 2.03f, 2.01f, 2, 2};
    QTest::newRow("second-order overshoot, 250 ms apart")
        << secondOrder << 2.0f << qint64(250000000)
        << QStringList{"0 → 2", "2点 (500 ms)", "4点 (1000 ms)", "20.0%", "7点 (1750 ms)", "0"};
    QTest::newRow("falling step") << Floats{10, 9, 7, 5.5f, 4.5f, 4.2f, 4.05f, 4} << 4.0f
                                  << qint64(0)
                                  << QStringList{"10 → 4", "3点", "7点", "0.0%", "6点", "0"};
    QTest::newRow("oscillates, never settles")
        << Floats{0, 0.5f, 1.1f, 0.9f, 1.1f, 0.9f, 1.1f, 0.95f} << 1.0f << qint64(0)
        << QStringList{"0 → 1", "1点", "2点", "10.0%", "—", "0.05"};
    QTest::newRow("sluggish, never reaches 90 %")
        << Floats{0, 0.3f, 0.5f, 0.6f} << 1.0f << qint64(0)
        << QStringList{"0 → 1", "—", "3点", "0.0%", "—", "0.4"};
    QTest::newRow("noise at the band's edge")
        << Floats{0, 0.6f, 0.95f, 0.985f, 1.019f, 0.979f, 1.01f, 0.99f} << 1.0f << qint64(0)
        << QStringList{"0 → 1", "1点", "4点", "1.9%", "6点", "0.01"};
    QTest::newRow("a glitch passes through the tail")
        << Floats{0, -1e30f, 1, 1} << 1.0f << qint64(0)
        << QStringList{"0 → 1", "0点", "2点", "0.0%", "2点", "0"};
    const QStringList none = QVector<QString>(StepAnalyzer::ColumnCount, "—").toList();
    QTest::newRow("flat window") << Floats{3, 3.1f, 2.9f} << 3.0f << qint64(0) << none;
    QTest::newRow("step below 1e-9") << Floats{0, 1e-10f} << 1e-10f << qint64(0) << none;
    QTest::newRow("NaN start") << Floats{NaN, 1, 1} << 1.0f << qint64(0) << none;
    QTest::newRow("infinite actual in the tail")
        << Floats{0, 0.5f, Inf} << 1.0f << qint64(1000000)
        << QStringList{"0 → 1", "1点 (1 ms)", "2点 (2 ms)", "inf%", "—", "—"};
}

void TestStepAnalyzer::handComputed()
{
    QFETCH(Floats, actual);
    QFETCH(float, target);
    QFETCH(qint64, intervalNs);
    QFETCH(QStringList, cells);

    StepAnalyzer analyzer;
    analyzer.addSample(2, 0, 5, 5); // an earlier window on this channel
    analyzer.beginRun();
    for (int k = 0; k < actual.size(); ++k)
        QVERIFY(
            !analyzer.addSample(2, 1 + k, actual[k], target, intervalNs ? 7 + k * intervalNs : -1));
    const Figures f = analyzer.figures(2);
    QCOMPARE(f.firstSample, qint64(1));
    QCOMPARE(f.samples, qint64(actual.size()));
    QCOMPARE(StepAnalyzer::cellTexts(f), cells);
    QCOMPARE(analyzer.figures(1).firstSample, qint64(-1));
}

void TestStepAnalyzer::cellTexts_data()
{
    QTest::addColumn<Figures>("figures");
    QTest::addColumn<QStringList>("cells");

    Figures f;
    f.y0 = 1.23456789;
    f.target = -1e-7;
    f.riseSamples = 0;
    f.peakSamples = 123456;
    f.overshootPercent = 0.04;
    f.steadyStateError = -0.000123456;
    QTest::newRow("no times") << f << QStringList{"1.235 → -1e-07", "0点", "123456点",
                                                  "0.0%",           "—",   "-0.0001235"};
    f.riseMs = 0.0123;
    f.peakMs = 99.96;
    f.settlingSamples = 5;
    f.settlingMs = 1234.5678;
    f.overshootPercent = 12.34;
    f.steadyStateError = 12345.6;
    QTest::newRow("times") << f
                           << QStringList{"1.235 → -1e-07", "0点 (0.0123 ms)", "123456点 (100 ms)",
                                          "12.3%",          "5点 (1235 ms)",   "1.235e+04"};
}

void TestStepAnalyzer::cellTexts()
{
    QFETCH(Figures, figures);
    QFETCH(QStringList, cells);
    QCOMPARE(StepAnalyzer::cellTexts(figures), cells);
}

// What the random runs below leave out: the finish count, channels outside 0..3, a window's
// rows kept across a clear, missed sample numbers, parking, and the queue's cap.
void TestStepAnalyzer::countsQueueAndChannels()
{
    StepAnalyzer analyzer(3);
    const Floats rise{0, 0.5f, 0.95f, 1};
    for (int k = 0; k < rise.size(); ++k)
        QVERIFY(!analyzer.addSample(1, k, rise[k], 1, k * 1000000));
    analyzer.addSample(3, 0, 2, 2); // flat: finishing it records nothing
    QVERIFY(!analyzer.addSample(4, 0, 1, 2) && !analyzer.addSample(-1, 0, 1, 2));
    QCOMPARE(analyzer.figures(4).samples, qint64(0));
    QCOMPARE(analyzer.finishWindows(), 1);
    QCOMPARE(analyzer.finishWindows(), 0);
    QCOMPARE(analyzer.previousWindowTrace(1).actual, (Floats{0, 0.5f, 0.95f})); // capped at 3

    analyzer.clear();
    QVERIFY(analyzer.previousWindowTrace(1).actual.isEmpty());
    QCOMPARE(analyzer.queuedWindows(), 1);
    QCOMPARE(StepAnalyzer::cellTexts(analyzer.takeFinishedWindows().at(0).figures),
             (QStringList{"0 → 1", "1点 (1 ms)", "3点 (3 ms)", "0.0%", "3点 (3 ms)", "0"}));

    // Sample numbers missed: the open window is queued and a new one starts.
    analyzer.addSample(2, 0, 0, 1);
    analyzer.addSample(2, 6, 0, 1);
    QCOMPARE(analyzer.figures(2).firstSample, qint64(6));
    QCOMPARE(analyzer.takeFinishedWindows().size(), std::size_t(1));
    // Parked: the same target opens nothing, a new one does.
    analyzer.park();
    QCOMPARE(analyzer.takeFinishedWindows().size(), std::size_t(1));
    analyzer.addSample(2, 7, 0, 1);
    QCOMPARE(analyzer.figures(2).firstSample, qint64(-1));
    analyzer.addSample(2, 8, 0, 2);
    QCOMPARE(analyzer.figures(2).firstSample, qint64(8));

    // Nobody takes the rows: the oldest go.
    for (int i = 0; i <= StepAnalyzer::QueueCap + 1; ++i)
        analyzer.addSample(0, i, 0, float(i % 2 + 1));
    QCOMPARE(analyzer.queuedWindows(), StepAnalyzer::QueueCap);
    QCOMPARE(analyzer.dropped(), quint64(1));
    QCOMPARE(analyzer.takeFinishedWindows().back().figures.firstSample,
             qint64(StepAnalyzer::QueueCap));

    // A steady target holds no more than the longest window: it ends there with its figures,
    // and what follows is only counted until the target moves.
    analyzer.clear();
    const qint64 steady = 3 * qint64(StepAnalyzer::MaxWindowSamples);
    for (qint64 k = 0; k < steady; ++k)
        analyzer.addSample(3, k, k == 0 ? 0.0f : 1.0f, 1);
    const auto ended = analyzer.takeFinishedWindows();
    QCOMPARE(ended.size(), std::size_t(1));
    QCOMPARE(ended.front().figures.samples, qint64(StepAnalyzer::MaxWindowSamples));
    QCOMPARE(ended.front().figures.settlingSamples, std::optional<qint64>(1));
    QVERIFY(!analyzer.figures(3).hasStep());
    analyzer.addSample(3, steady, 1, 2);
    QCOMPARE(analyzer.figures(3).firstSample, steady);
}

// Synthetic steps 0 -> 1 with Gaussian noise of spread `noise`: a first-order lag (tau = 19.9
// samples, settled from sample 78) and a second-order loop (zeta 0.5, omega 0.1 per sample:
// 16.3 % over at 36, settled from 77), optionally after a steady stretch at 0, and a "step"
// of twice the noise. The figures must lie within `slack` samples (settling within -13..+22,
// as asked of the first-order case at 0.8 %; at 2 % noise the band widens to 3 % and the
// second-order loop settles up to 30 samples earlier) of the noise-free ones, stay the same 2000
// samples later, and a step below the noise has no figures and no row.
void TestStepAnalyzer::noisySteps_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<double>("noise");
    QTest::addColumn<bool>("steadyBefore");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("slack");
    for (const quint32 seed : {1u, 2u, 3u}) {
        for (const double noise : {0.002, 0.008, 0.02}) {
            for (const int order : {1, 2}) {
                for (const bool before : {false, true})
                    QTest::addRow("order %d, noise %g, %s, seed %u", order, noise,
                                  before ? "steady before" : "at once", seed)
                        << order << noise << before << 1.0 << (noise > 0.01 ? 8 : 4);
            }
        }
        QTest::addRow("step of twice the noise, seed %u", seed) << 1 << 0.01 << true << 0.02 << 0;
    }
}

void TestStepAnalyzer::noisySteps()
{
    QFETCH(int, order);
    QFETCH(double, noise);
    QFETCH(bool, steadyBefore);
    QFETCH(double, step);
    QFETCH(int, slack);
    std::mt19937 random(quint32(QTest::currentDataTag()[qstrlen(QTest::currentDataTag()) - 1]));
    const auto gauss = [&random] {
        std::uniform_real_distribution<double> u(1e-12, 1.0);
        return std::sqrt(-2 * std::log(u(random))) * std::cos(2 * M_PI * u(random));
    };
    const auto response = [order, step](int k) {
        if (order == 1)
            return step * (1 - std::exp(-k / 19.9));
        const double zeta = 0.5, omega = 0.1, damped = omega * std::sqrt(1 - zeta * zeta);
        return step * (1 - std::exp(-zeta * omega * k) *
                               (std::cos(damped * k) +
                                zeta / std::sqrt(1 - zeta * zeta) * std::sin(damped * k)));
    };
    StepAnalyzer clean, noisy;
    if (steadyBefore) {
        for (int k = 0; k < 300; ++k)
            noisy.addSample(0, k, float(noise * gauss()), 0);
    }
    QCOMPARE(noisy.takeFinishedWindows().size(), std::size_t(0)); // a run at 0 is no step
    Figures early;
    for (int k = 0; k < 2400; ++k) {
        clean.addSample(0, k, float(response(k)), float(step));
        noisy.addSample(0, (steadyBefore ? 300 : 0) + k, float(response(k) + noise * gauss()),
                        float(step));
        if (k == 399)
            early = noisy.figures(0);
    }
    const Figures truth = clean.figures(0);
    const Figures f = noisy.figures(0);
    if (slack == 0) {
        QVERIFY(!f.hasStep());
        QCOMPARE(noisy.finishWindows(), 0);
        return;
    }
    QVERIFY(f.noise && std::fabs(*f.noise / noise - 1) < 0.25);
    QVERIFY(f.riseSamples && f.settlingSamples && f.peakSamples);
    const QString found =
        QString::asprintf("rise %lld, settling %lld, overshoot %g; truth %lld, "
                          "%lld, %g",
                          *f.riseSamples, *f.settlingSamples, *f.overshootPercent,
                          *truth.riseSamples, *truth.settlingSamples, *truth.overshootPercent);
    const qint64 settling = *f.settlingSamples - *truth.settlingSamples;
    QVERIFY2(std::abs(*f.riseSamples - *truth.riseSamples) <= slack, qPrintable(found));
    QVERIFY2(settling >= (noise > 0.01 ? -30 : -13) && settling <= 22, qPrintable(found));
    QVERIFY2(std::fabs(*f.overshootPercent - *truth.overshootPercent) <= 1, qPrintable(found));
    if (order == 2)
        QVERIFY(std::abs(*f.peakSamples - *truth.peakSamples) <= slack);
    QCOMPARE(early.settlingSamples, f.settlingSamples);
    QCOMPARE(early.peakSamples, f.peakSamples);
    QCOMPARE(early.overshootPercent, f.overshootPercent);
    QCOMPARE(early.riseSamples, f.riseSamples);
}

void TestStepAnalyzer::matchesDefinitionsOnRandomRuns_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u})
        QTest::addRow("seed %u", seed) << seed;
}

void TestStepAnalyzer::matchesDefinitionsOnRandomRuns()
{
    QFETCH(quint32, seed);
    const int samples = 12000;
    QRandomGenerator random(seed);
    const auto chance = [&](double p) { return random.generateDouble() < p; };
    constexpr int cap = 50;
    StepAnalyzer analyzer(cap);

    struct Model
    {
        std::vector<Sample> window; // the open window, empty when none
        qint64 first = 0;
        qint64 count = 0;
        bool startNext = true;
        std::vector<float> previous;
        float target = 0;
        double low = 0, high = 0, range = 0;
        bool ranged = false;
        double y = 0;
        double velocity = 0;
        qint64 ns = 0;
    };
    std::array<Model, 4> models;
    std::vector<StepAnalyzer::FinishedWindow> expected;
    const auto close = [&](int c) {
        Model &m = models[std::size_t(c)];
        const Figures f = m.window.empty()
                              ? Figures()
                              : bruteFigures(m.window, m.first, m.range, analyzer.figures(c).noise);
        if (f.hasStep()) {
            expected.push_back({c, f});
            m.previous.clear();
            for (std::size_t k = 0; k < m.window.size() && k < cap; ++k)
                m.previous.push_back(m.window[k].actual);
        }
        m.window.clear();
    };

    for (int i = 0; i < samples; ++i) {
        if (chance(0.002)) {
            analyzer.beginRun();
            for (Model &m : models)
                m.startNext = true;
        } else if (chance(0.001)) {
            for (int c = 0; c < 4; ++c) {
                close(c);
                models[std::size_t(c)].startNext = true;
            }
            analyzer.finishWindows();
        } else if (chance(0.0005)) {
            analyzer.clear();
            for (Model &m : models)
                m = Model();
        }

        const int c = random.bounded(4);
        Model &m = models[std::size_t(c)];
        if (chance(0.01))
            m.target = float(random.bounded(-50, 50)) * (chance(0.5) ? 1.0f : 0.01f);
        else if (chance(0.005))
            m.target *= float(1 + (random.generateDouble() - 0.5) * 4e-6); // near the tolerance
        else if (chance(0.001))
            m.target = chance(0.5) ? NaN : Inf;
        const double damping = 0.05 + random.generateDouble() * 0.2;
        const double goal = std::isfinite(m.target) ? double(m.target) : 0;
        m.velocity += 0.3 * (goal - m.y) - damping * m.velocity;
        m.y += m.velocity;
        float actual = float(m.y + (random.generateDouble() - 0.5) * 0.05);
        if (chance(0.002))
            actual = chance(0.5) ? NaN : -Inf;
        m.ns = chance(0.01) ? -1 : m.ns + 1000 + random.bounded(2000);

        const float previousTarget = m.window.empty() ? 0 : m.window.back().target;
        const bool differs =
            !(m.target == previousTarget || std::fabs(double(m.target) - double(previousTarget)) <=
                                                1e-6 * std::max(1.0, std::fabs(double(m.target))));
        const std::size_t before = expected.size();
        if (m.startNext || m.window.empty() || differs) {
            close(c);
            m.first = m.count;
            m.startNext = false;
            for (const double v : {double(actual), double(m.target)}) {
                if (std::isfinite(v)) {
                    m.low = m.ranged ? std::min(m.low, v) : v;
                    m.high = m.ranged ? std::max(m.high, v) : v;
                    m.ranged = true;
                }
            }
            m.range = m.high - m.low;
        }
        m.window.push_back({actual, m.target, m.ns});
        ++m.count;

        QCOMPARE(analyzer.addSample(c, m.count - 1, actual, m.target, m.ns),
                 expected.size() > before);
        double scale = 1;
        for (const Sample &s : m.window)
            scale = std::max(scale, std::isfinite(s.actual) ? std::fabs(double(s.actual)) : 0.0);
        const Figures got = analyzer.figures(c);
        const QString wrong =
            difference(got, bruteFigures(m.window, m.first, m.range, got.noise), scale);
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("sample %1: %2").arg(i).arg(wrong)));
        const StepAnalyzer::Trace trace = analyzer.previousWindowTrace(c);
        QCOMPARE(trace.currentFirstSample, m.first);
        QVERIFY(std::equal(
            trace.actual.cbegin(), trace.actual.cend(), m.previous.cbegin(), m.previous.cend(),
            [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }));
    }
    for (int c = 0; c < 4; ++c)
        close(c);
    analyzer.finishWindows();

    const auto got = analyzer.takeFinishedWindows();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(expected.size() > 100);
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].channel, expected[i].channel);
        const QString wrong = difference(got[i].figures, expected[i].figures, 100);
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("row %1: %2").arg(i).arg(wrong)));
    }
}

QTEST_GUILESS_MAIN(TestStepAnalyzer)
#include "tst_stepanalyzer.moc"
