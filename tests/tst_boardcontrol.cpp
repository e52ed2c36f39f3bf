#include "pidlink/pidframe.h"
#include "tools/boardsim/boardsimulator.h"
#include "tools/boardsim/byteerrorinjector.h"
#include "tools/boardsim/outputqueue.h"
#include "tools/boardsim/pidcontroller.h"
#include "tools/boardsim/plant.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {
struct StepResult
{
    double overshoot; // percent of the step
    double finalMean;
};

// Runs one channel of a board from start for `seconds` and measures its step response.
StepResult stepResponse(BoardSimulator &board, int channel, double seconds)
{
    float target = 0.0f;
    board.value(CmdTarget, channel, &target);
    board.start();
    const double rest = board.plant(channel).model().rest;
    const int periods = int(seconds / board.options().sampleTime);
    const int tail = int(1.0 / board.options().sampleTime);
    double peak = rest;
    double tailSum = 0.0;
    for (int k = 0; k < periods; ++k) {
        board.advance();
        float actual = 0.0f;
        board.value(CmdActual, channel, &actual);
        peak = std::max(peak, double(board.plant(channel).value()));
        if (k >= periods - tail)
            tailSum += actual;
    }
    return {100.0 * (peak - target) / (target - rest), tailSum / tail};
}
} // namespace

class BoardControlTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultStepSettles_data();
    void defaultStepSettles();
    void gainsChangeTheResponse_data();
    void gainsChangeTheResponse();
    void outputLimitsHold_data();
    void outputLimitsHold();
    void antiWindup_data();
    void antiWindup();
    void plantDeadTimeAndLag_data();
    void plantDeadTimeAndLag();
    void errorInjection_data();
    void errorInjection();
    void queueCountsOnlyWholeItems_data();
    void queueCountsOnlyWholeItems();
};

void BoardControlTest::defaultStepSettles_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("sampleTime");
    QTest::newRow("CH1 motor") << 0 << 0.01;
    QTest::newRow("CH2 motor") << 1 << 0.01;
    QTest::newRow("CH3 heater") << 2 << 0.01;
    QTest::newRow("CH4 heater") << 3 << 0.01;
    QTest::newRow("CH1 motor at 1000 samples/s") << 0 << 0.001;
    QTest::newRow("CH3 heater at 20 samples/s") << 2 << 0.05;
}

void BoardControlTest::defaultStepSettles()
{
    QFETCH(int, channel);
    QFETCH(double, sampleTime);

    BoardSimulator::Options options;
    options.sampleTime = sampleTime;
    BoardSimulator board(options);
    float target = 0.0f;
    QVERIFY(board.value(CmdTarget, channel, &target));
    const double span = target - board.plant(channel).model().rest;

    const StepResult r = stepResponse(board, channel, 5.0);
    // Noise included, the last second averages to the target.
    QVERIFY2(std::fabs(r.finalMean - target) < 0.01 * span,
             qPrintable(QStringLiteral("mean %1, target %2").arg(r.finalMean).arg(target)));
    // Tuned to show some overshoot, not to ring.
    QVERIFY2(r.overshoot > 3.0 && r.overshoot < 40.0,
             qPrintable(QStringLiteral("overshoot %1 %").arg(r.overshoot)));
}

void BoardControlTest::gainsChangeTheResponse_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("op");
    QTest::addColumn<float>("factor");
    QTest::addColumn<bool>("moreOvershoot");

    QTest::newRow("CH1: more I, more overshoot") << 0 << int(CmdI) << 2.0f << true;
    QTest::newRow("CH2: more P, less overshoot") << 1 << int(CmdP) << 2.0f << false;
    QTest::newRow("CH3: less I, less overshoot") << 2 << int(CmdI) << 0.4f << false;
    QTest::newRow("CH4: more I, more overshoot") << 3 << int(CmdI) << 2.0f << true;
}

void BoardControlTest::gainsChangeTheResponse()
{
    QFETCH(int, channel);
    QFETCH(int, op);
    QFETCH(float, factor);
    QFETCH(bool, moreOvershoot);

    BoardSimulator::Options options;
    options.noiseScale = 0.0;
    BoardSimulator before(options);
    BoardSimulator after(options);
    float gain = 0.0f;
    QVERIFY(after.value(static_cast<unsigned char>(op), channel, &gain));
    QVERIFY(after.setValue(static_cast<unsigned char>(op), channel, gain * factor));

    const double a = stepResponse(before, channel, 4.0).overshoot;
    const double b = stepResponse(after, channel, 4.0).overshoot;
    // Visibly: at least two percent of the step apart.
    if (moreOvershoot)
        QVERIFY2(b > a + 2.0, qPrintable(QStringLiteral("%1 % -> %2 %").arg(a).arg(b)));
    else
        QVERIFY2(b < a - 2.0, qPrintable(QStringLiteral("%1 % -> %2 %").arg(a).arg(b)));
}

void BoardControlTest::outputLimitsHold_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("kp");
    QTest::addColumn<double>("error");
    QTest::addColumn<double>("expected");

    QTest::newRow("inside") << -100.0 << 100.0 << 2.0 << 10.0 << 20.0;
    QTest::newRow("clamped high") << -100.0 << 100.0 << 2.0 << 80.0 << 100.0;
    QTest::newRow("clamped low") << -100.0 << 100.0 << 2.0 << -80.0 << -100.0;
    QTest::newRow("heater cannot cool") << 0.0 << 100.0 << 5.0 << -3.0 << 0.0;
    QTest::newRow("limits given the wrong way round") << 50.0 << -50.0 << 1.0 << 70.0 << 50.0;
}

void BoardControlTest::outputLimitsHold()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, kp);
    QFETCH(double, error);
    QFETCH(double, expected);

    PidController pid(min, max);
    pid.setGains(kp, 0.0, 0.0);
    QCOMPARE(pid.update(error, 0.0, 0.01), expected);
    // A derivative kick from a measurement jump stays inside as well.
    pid.setGains(kp, 0.0, 1000.0);
    const double out = pid.update(error, -1e6, 0.01);
    QVERIFY(out >= std::min(min, max) && out <= std::max(min, max));
}

void BoardControlTest::antiWindup_data()
{
    QTest::addColumn<double>("kp");
    QTest::addColumn<double>("ki");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");

    QTest::newRow("motor limits, small P") << 0.1 << 10.0 << -100.0 << 100.0;
    QTest::newRow("heater limits, large I") << 0.5 << 200.0 << 0.0 << 100.0;
    QTest::newRow("pure I") << 0.0 << 50.0 << -10.0 << 10.0;
}

void BoardControlTest::antiWindup()
{
    QFETCH(double, kp);
    QFETCH(double, ki);
    QFETCH(double, min);
    QFETCH(double, max);

    // An error the output can never remove, for a long time, in both directions.
    PidController pid(min, max);
    pid.setGains(kp, ki, 0.0);
    for (int k = 0; k < 5000; ++k) {
        pid.update(1000.0, 0.0, 0.01);
        QVERIFY(pid.integral() >= min && pid.integral() <= max);
    }
    QCOMPARE(pid.output(), max);
    // Once the error turns the output leaves the limit within two periods: nothing was wound
    // up beyond the output range (a wound-up integral would hold it there for seconds).
    pid.update(0.0, 1.0, 0.01);
    const double turned = pid.update(0.0, 1.0, 0.01);
    QVERIFY2(turned < max, qPrintable(QString::number(turned)));

    for (int k = 0; k < 5000; ++k) {
        pid.update(-1000.0, 0.0, 0.01);
        QVERIFY(pid.integral() >= min && pid.integral() <= max);
    }
    QCOMPARE(pid.output(), min);
    pid.update(0.0, -1.0, 0.01);
    QVERIFY(pid.update(0.0, -1.0, 0.01) > min);
}

void BoardControlTest::plantDeadTimeAndLag_data()
{
    QTest::addColumn<bool>("motor");
    QTest::addColumn<double>("sampleTime");
    QTest::newRow("motor") << true << 0.01;
    QTest::newRow("heater") << false << 0.01;
    QTest::newRow("heater, coarse steps") << false << 0.05;
}

void BoardControlTest::plantDeadTimeAndLag()
{
    QFETCH(bool, motor);
    QFETCH(double, sampleTime);

    Plant::Model model = motor ? Plant::motor() : Plant::heater();
    model.noise = 0.0;
    Plant plant(model, 1);
    plant.setSampleTime(sampleTime);
    const double input = 20.0;
    const double final = model.rest + model.gain * input;
    const int deadSteps = int(std::lround(model.deadTime / sampleTime));
    for (int k = 0; k < deadSteps; ++k)
        QCOMPARE(plant.advance(input), model.rest);
    QVERIFY(plant.advance(input) > model.rest);
    // One time constant after the dead time: 63 % of the way.
    const int lagSteps = int(std::lround(model.timeConstant / sampleTime)) - 1;
    for (int k = 0; k < lagSteps; ++k)
        plant.advance(input);
    const double fraction = (plant.value() - model.rest) / (final - model.rest);
    QVERIFY2(std::fabs(fraction - 0.632) < 0.02, qPrintable(QString::number(fraction)));
    for (int k = 0; k < int(20 * model.timeConstant / sampleTime); ++k)
        plant.advance(input);
    QVERIFY(std::fabs(plant.value() - final) < 1e-6 * final + 1e-9);
}

void BoardControlTest::errorInjection_data()
{
    QTest::addColumn<quint64>("period");
    QTest::addColumn<int>("chunk");
    QTest::newRow("off") << quint64(0) << 100;
    QTest::newRow("every byte") << quint64(1) << 7;
    QTest::newRow("one in 10, frame-sized writes") << quint64(10) << 10;
    QTest::newRow("one in 7, odd writes") << quint64(7) << 3;
    QTest::newRow("one in 1000, large writes") << quint64(1000) << 4096;
}

void BoardControlTest::errorInjection()
{
    QFETCH(quint64, period);
    QFETCH(int, chunk);

    const int total = 20000;
    QByteArray clean(total, '\0');
    for (int i = 0; i < total; ++i)
        clean[i] = char(i * 31);
    ByteErrorInjector injector(period, 5);
    QByteArray noisy;
    for (int at = 0; at < total; at += chunk) {
        QByteArray part = clean.mid(at, chunk);
        injector.apply(part);
        noisy += part;
    }
    QCOMPARE(noisy.size(), total);
    int differing = 0;
    QVector<int> positions;
    for (int i = 0; i < total; ++i) {
        if (noisy[i] != clean[i]) {
            ++differing;
            positions << i;
        }
    }
    const int expected = period ? int(total / period) : 0;
    QCOMPARE(differing, expected);
    QCOMPARE(int(injector.corrupted()), expected);
    // Exactly one per block, and not always at the same place within frames.
    for (int i = 0; i < positions.size(); ++i)
        QCOMPARE(quint64(positions[i]) / period, quint64(i));
    if (period == 10) {
        QSet<int> offsets;
        for (int p : positions)
            offsets.insert(p % 10);
        QVERIFY(offsets.size() > 5);
    }
}

void BoardControlTest::queueCountsOnlyWholeItems_data()
{
    QTest::addColumn<QVector<int>>("writes");
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<int>("linesSent");

    // Queue: three 10-byte frames, one 25-byte line, one command frame; 65 bytes in all.
    QTest::newRow("nothing taken") << QVector<int>{} << 0 << 0;
    QTest::newRow("one byte short of the first frame") << QVector<int>{9} << 0 << 0;
    QTest::newRow("first frame in two parts") << QVector<int>{4, 6} << 1 << 0;
    QTest::newRow("line cut short") << QVector<int>{30, 24} << 3 << 0;
    QTest::newRow("everything but the last byte") << QVector<int>{64} << 3 << 1;
    QTest::newRow("everything, byte by byte") << QVector<int>(65, 1) << 4 << 1;
    QTest::newRow("more than there is") << QVector<int>{1000} << 4 << 1;
}

void BoardControlTest::queueCountsOnlyWholeItems()
{
    QFETCH(QVector<int>, writes);
    QFETCH(int, framesSent);
    QFETCH(int, linesSent);

    OutputQueue queue;
    for (int i = 0; i < 3; ++i)
        queue.append(QByteArray(10, char('0' + i)), OutputQueue::DataFrame);
    queue.append(QByteArray(25, 'x'), OutputQueue::TextLine);
    queue.append(QByteArray(10, 'C'), OutputQueue::CommandFrame);
    QCOMPARE(queue.pendingBytes(), qint64(65));

    qint64 taken = 0;
    QByteArray seen;
    for (int n : writes) {
        const qint64 step = std::min<qint64>(n, queue.pendingBytes());
        seen.append(queue.pendingData(), int(step));
        queue.consume(n);
        taken += step;
    }
    QCOMPARE(int(queue.sent(OutputQueue::DataFrame) + queue.sent(OutputQueue::CommandFrame)),
             framesSent);
    QCOMPARE(int(queue.sent(OutputQueue::TextLine)), linesSent);
    QCOMPARE(qint64(queue.bytesSent()), taken);
    QCOMPARE(queue.pendingBytes(), 65 - taken);
    // What went out is the front of the stream, in order.
    const QByteArray all = QByteArray(10, '0') + QByteArray(10, '1') + QByteArray(10, '2') +
                           QByteArray(25, 'x') + QByteArray(10, 'C');
    QCOMPARE(seen, all.left(int(taken)));

    // Dropping the rest counts every item not wholly sent, a partly sent one included.
    const qint64 itemsLeft = queue.pendingItems();
    queue.discard();
    QCOMPARE(qint64(queue.itemsDiscarded()), itemsLeft);
    QCOMPARE(qint64(queue.bytesDiscarded()), 65 - taken);
    QVERIFY(queue.isEmpty());
    queue.append(QByteArray(10, 'z'), OutputQueue::DataFrame);
    queue.consume(10);
    QCOMPARE(int(queue.sent(OutputQueue::DataFrame)), std::min(framesSent, 3) + 1);
}

QTEST_GUILESS_MAIN(BoardControlTest)
#include "tst_boardcontrol.moc"
