// The tuning library: identification against the simulated board's own loops, each refusal,
// the rules' constraints on the model, and figures that agree with the chart's analysis.
#include "chart/stepanalyzer.h"
#include "pidlink/pidframe.h"
#include "tools/boardsim/boardsimulator.h"
#include "tuning/closedloop.h"
#include "tuning/loopidentifier.h"
#include "tuning/tuningrules.h"

#include <QtTest>

#include <cmath>

namespace {

struct Window
{
    StepData data;
    ControllerForm form;
};

// A run's first `samples` values of channel 0..3 on the simulated board.
Window boardWindow(int channel, const Plant::Model &plant, bool perSample, bool onError,
                   double noiseScale, ControllerForm::Gains gains, float target, int samples)
{
    BoardSimulator::Options options;
    options.plants[std::size_t(channel)] = plant;
    options.perSampleForm = perSample;
    options.derivativeOnError = onError;
    options.noiseScale = noiseScale;
    BoardSimulator board(options);
    board.setValue(CmdP, channel, float(gains.p));
    board.setValue(CmdI, channel, float(gains.i));
    board.setValue(CmdD, channel, float(gains.d));
    board.setValue(CmdTarget, channel, target);
    board.start();
    Window w;
    w.form = ControllerForm::simulatedBoard(channel);
    if (perSample) {
        w.form.timing = ControllerForm::Timing::PerSample;
        w.form.derivativeFilterS = 0.0;
    }
    w.form.derivativeOnMeasurement = !onError;
    w.data.target = target;
    w.data.samplePeriodS = board.options().sampleTime;
    w.data.gainsKnown = true;
    w.data.gains = {double(float(gains.p)), double(float(gains.i)), double(float(gains.d))};
    for (int k = 0; k < samples; ++k) {
        board.advance();
        float v = 0;
        board.value(CmdActual, channel, &v);
        w.data.actual.append(double(v));
    }
    return w;
}

Plant::Model plant(double gain, double tau, double dead, double rest, double noise)
{
    Plant::Model m;
    m.gain = gain;
    m.timeConstant = tau;
    m.deadTime = dead;
    m.rest = rest;
    m.noise = noise;
    return m;
}

} // namespace

Q_DECLARE_METATYPE(Plant::Model)
Q_DECLARE_METATYPE(ControllerForm::Gains)

class TuningTest : public QObject
{
    Q_OBJECT

private slots:
    void identifiesBoardLoops_data();
    void identifiesBoardLoops();
    void refuses_data();
    void refuses();
    void suggestionsMeetTheirConstraints_data();
    void suggestionsMeetTheirConstraints();
    void figuresAsTheChartComputesThem();
};

void TuningTest::identifiesBoardLoops_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<Plant::Model>("truth");
    QTest::addColumn<bool>("perSample");
    QTest::addColumn<bool>("onError");
    QTest::addColumn<double>("noise");
    QTest::addColumn<ControllerForm::Gains>("gains");
    QTest::addColumn<float>("target");
    QTest::addColumn<double>("tolerance");

    const ControllerForm::Gains motorGains{0.6, 6.0, 0.0};
    QTest::newRow("motor, seconds")
        << 0 << Plant::motor() << false << false << 0.0 << motorGains << 100.0f << 0.02;
    QTest::newRow("motor, samples") << 0 << Plant::motor() << true << false << 0.0
                                    << ControllerForm::Gains{0.6, 0.06, 0.5} << 100.0f << 0.02;
    QTest::newRow("derivative on the error")
        << 1 << plant(3, 1, 0.2, 0, 0) << false << true << 0.0
        << ControllerForm::Gains{0.3, 0.5, 0.02} << 60.0f << 0.02;
    // The heater pinned at 100 % for the first part of the rise.
    QTest::newRow("limits hit") << 2 << Plant::heater() << false << false << 0.0
                                << ControllerForm::Gains{4.0, 5.0, 0.0} << 100.0f << 0.02;
    QTest::newRow("motor, noise") << 0 << Plant::motor() << false << false << 1.0 << motorGains
                                  << 100.0f << 0.15;
    QTest::newRow("slow, samples, noise")
        << 0 << plant(5, 2, 1, 0, 0.5) << true << false << 1.0
        << ControllerForm::Gains{0.1, 0.0005, 0.0} << 150.0f << 0.15;
    QTest::newRow("fast, noise") << 0 << plant(0.5, 0.1, 0.05, 0, 0.5) << false << false << 1.0
                                 << ControllerForm::Gains{1.0, 8.0, 0.0} << 30.0f << 0.15;
}

void TuningTest::identifiesBoardLoops()
{
    QFETCH(int, channel);
    QFETCH(Plant::Model, truth);
    QFETCH(bool, perSample);
    QFETCH(bool, onError);
    QFETCH(double, noise);
    QFETCH(ControllerForm::Gains, gains);
    QFETCH(float, target);
    QFETCH(double, tolerance);
    const int samples = std::max(400, int(12 * (truth.timeConstant + truth.deadTime) / 0.01));
    const Window w = boardWindow(channel, truth, perSample, onError, noise, gains, target, samples);
    const LoopIdentifier::Result r = LoopIdentifier::identify(w.data, w.form);
    QVERIFY2(r.ok, qPrintable(r.refusal));
    const PlantModel &m = r.model;
    QVERIFY2(std::fabs(m.gain / truth.gain - 1) <= tolerance, qPrintable(QString::number(m.gain)));
    QVERIFY2(std::fabs(m.timeConstantS / truth.timeConstant - 1) <= tolerance,
             qPrintable(QString::number(m.timeConstantS)));
    // The board delays by whole samples; half a sample either way is the model's freedom.
    QVERIFY2(std::fabs(m.deadTimeS - truth.deadTime) <=
                 std::max(tolerance * truth.deadTime, noise > 0 ? 0.02 : 0.005),
             qPrintable(QString::number(m.deadTimeS)));
    QVERIFY2(std::fabs(m.rest - truth.rest) <= 1 + 0.02 * std::fabs(target - truth.rest),
             qPrintable(QString::number(m.rest)));
    QVERIFY(r.fitPercent >= (noise > 0 ? 90 : 99));
    QCOMPARE(r.fitted.size(), w.data.actual.size());
}

void TuningTest::refuses_data()
{
    QTest::addColumn<int>("what");
    QTest::addColumn<QString>("reason");
    QTest::newRow("gains unknown") << 0 << QStringLiteral("读");
    QTest::newRow("too few samples") << 1 << QStringLiteral("至少要20个");
    QTest::newRow("step within the noise") << 2 << QStringLiteral("没有真正的阶跃");
    QTest::newRow("nothing acts") << 3 << QStringLiteral("P和I都为0");
    QTest::newRow("poor fit") << 4 << QStringLiteral("拟合度只有");
    QTest::newRow("no sample period") << 5 << QStringLiteral("采样周期未知");
}

void TuningTest::refuses()
{
    QFETCH(int, what);
    QFETCH(QString, reason);
    Window w = boardWindow(0, Plant::motor(), false, false, 1.0, {0.6, 6.0, 0.0}, 100.0f, 300);
    switch (what) {
    case 0:
        w.data.gainsKnown = false;
        break;
    case 1:
        w.data.actual.resize(LoopIdentifier::MinSamples - 1);
        break;
    case 2:
        // Settled, and the target moved by twice the noise.
        w.data.actual = w.data.actual.mid(150);
        w.data.target = w.data.actual.first() + 1.0;
        break;
    case 3:
        w.data.gains = {0.0, 0.0, 0.3};
        break;
    case 4:
        // A loop that swings for good is no first-order plant under this controller.
        for (int k = 0; k < w.data.actual.size(); ++k)
            w.data.actual[k] = 50.0 + 40.0 * std::sin(k * 0.05);
        break;
    case 5:
        w.data.samplePeriodS = 0;
        break;
    }
    const LoopIdentifier::Result r = LoopIdentifier::identify(w.data, w.form);
    QVERIFY(!r.ok);
    QVERIFY2(r.refusal.contains(reason), qPrintable(r.refusal));
}

void TuningTest::suggestionsMeetTheirConstraints_data()
{
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("tau");
    QTest::addColumn<double>("dead");
    QTest::addColumn<bool>("perSample");
    QTest::addColumn<double>("noise");
    QTest::newRow("motor") << 2.0 << 0.25 << 0.03 << false << 0.5;
    QTest::newRow("no dead time, noise") << 0.8 << 0.4 << 0.0 << false << 0.5;
    QTest::newRow("long dead time, samples") << 5.0 << 2.0 << 1.0 << true << 0.0;
    QTest::newRow("fractional dead time") << 1.0 << 0.8 << 0.155 << false << 0.15;
}

void TuningTest::suggestionsMeetTheirConstraints()
{
    QFETCH(double, gain);
    QFETCH(double, tau);
    QFETCH(double, dead);
    QFETCH(bool, perSample);
    QFETCH(double, noise);
    const PlantModel model{gain, tau, dead, 0.0};
    ControllerForm form = ControllerForm::simulatedBoard(0);
    if (perSample)
        form.timing = ControllerForm::Timing::PerSample;
    TuningRules::Step step;
    step.start = 0;
    step.target = 50;
    step.noise = noise;
    const auto suggestions = TuningRules::suggest(model, form, step);
    double lastSettling = 1e9;
    for (const TuningRules::Suggestion &s : suggestions) {
        QVERIFY2(s.ok, qPrintable(s.refusal));
        for (const double g : {s.p, s.i, s.d})
            QVERIFY(std::isfinite(g) && g >= 0);
        const TuningRules::Constraints c = TuningRules::constraintsOf(s.aim);
        QVERIFY2(s.predicted.overshootPercent <= c.maxOvershootPercent + 0.05,
                 qPrintable(QString::number(s.predicted.overshootPercent)));
        QVERIFY2(s.sensitivity <= c.maxSensitivity + 0.02,
                 qPrintable(QString::number(s.sensitivity)));
        QCOMPARE(s.sensitivity, TuningRules::maxSensitivity(model, form, {s.p, s.i, s.d}, 0.01));
        QVERIFY(s.predicted.settlingSamples);
        // Looser constraints never settle slower by much.
        QVERIFY(*s.predicted.settlingSamples <= lastSettling * 1.25);
        lastSettling = *s.predicted.settlingSamples;
        // A loop a little off the model (the dead time a tenth of a period longer, 2 % more
        // gain) settles about as predicted: the gains do not sit on an edge.
        ClosedLoop::Setup near;
        near.plant = PlantModel{gain * 1.02, tau, dead + 0.001, 0.0};
        near.form = form;
        near.gains = {s.p, s.i, s.d};
        near.target = step.target;
        const StepFigures f =
            StepFigures::of(ClosedLoop::simulate(near, s.trace.size()), step.target,
                            TuningRules::predictionBand(step.band, noise, step.target));
        QVERIFY(f.settlingSamples);
        QVERIFY2(std::abs(*f.settlingSamples - *s.predicted.settlingSamples) <=
                     0.3 * *s.predicted.settlingSamples,
                 qPrintable(QStringLiteral("%1 / %2")
                                .arg(*f.settlingSamples)
                                .arg(*s.predicted.settlingSamples)));
        // The trace is the closed loop with these gains: the output stays within its limits.
        for (const double y : s.trace)
            QVERIFY(std::fabs(y) <= gain * 100 + 1e-6);
    }
    // A negative plant would need negative gains.
    const auto negative = TuningRules::suggest(PlantModel{-gain, tau, dead, 0.0}, form, step);
    QVERIFY(!negative[1].ok && !negative[1].refusal.isEmpty());
}

void TuningTest::figuresAsTheChartComputesThem()
{
    // Rise, overshoot, a dip back out of the band, noise-free settling.
    const QVector<double> values = {0,  2,  8,   30,  70,  95,  104,  108, 103, 99,
                                    97, 99, 100, 101, 100, 100, 99.5, 100, 100, 100};
    StepAnalyzer analyzer;
    for (int k = 0; k < values.size(); ++k)
        analyzer.addSample(0, k, float(values[k]), 100.0f);
    const StepAnalyzer::Figures chart = analyzer.figures(0);
    const StepFigures ours = StepFigures::of(values, 100.0);
    QCOMPARE(qint64(*ours.riseSamples), *chart.riseSamples);
    QCOMPARE(qint64(*ours.peakSamples), *chart.peakSamples);
    QCOMPARE(ours.overshootPercent, *chart.overshootPercent);
    QCOMPARE(qint64(*ours.settlingSamples), *chart.settlingSamples);
}

QTEST_GUILESS_MAIN(TuningTest)
#include "tst_tuning.moc"
