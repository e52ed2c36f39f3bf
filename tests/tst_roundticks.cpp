// Round tick values: the range the chart's gestures, fits and the vertical scroll bar land on.
#include "chart/roundticks.h"

#include <QtTest>

class TestRoundTicks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void widen_data();
    void widen();
    void zoom_data();
    void zoom();
};

void TestRoundTicks::widen_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("minimumStep");
    QTest::addColumn<double>("min"); // what comes out: 8 steps of `step` from `min`
    QTest::addColumn<double>("step");
    const auto row = [](const char *name, double low, double high, double minimum, double min,
                        double step) {
        QTest::newRow(name) << low << high << minimum << min << step;
    };
    row("already round stays", -100, 100, 0, -100, 25);
    row("odd x view 12..87 of the issue", 12.4, 87.6, 1, 10, 10);
    row("samples 0..3163", 0, 3163, 1, 0, 500);
    row("fit 96.2..132.3", 96.2, 132.3, 0, 95, 5);
    row("start off the grid takes the next step", 9, 25, 0, 7.5, 2.5);
    row("negative and fractional", -0.73, -0.11, 0, -0.8, 0.1);
    row("tiny span", 1.0001, 1.0009, 0, 1.0001, 0.0001);
    row("no step under one sample", 10, 13, 1, 10, 1);
    row("seconds 0.7..3.1", 0.7, 3.1, 0, 0.5, 0.5);
    row("huge", -3e30, 7e30, 0, -4e30, 2e30);
}

// The result holds the input, starts on a multiple of its step and the step is 1, 2, 2.5 or 5
// times a power of ten; the table pins the smallest such range.
void TestRoundTicks::widen()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, minimumStep);
    const RoundTicks::Range r = RoundTicks::widen(low, high, minimumStep);
    QFETCH(double, min);
    QFETCH(double, step);
    QVERIFY2(qFuzzyCompare(r.step, step), qPrintable(QString::number(r.step)));
    QVERIFY2(std::fabs(r.min - min) <= 1e-9 * step, qPrintable(QString::number(r.min)));
    QVERIFY(qFuzzyCompare(r.max - r.min, RoundTicks::Intervals * r.step));
    QVERIFY(r.min <= low && r.max >= high - 1e-9 * step);
}

void TestRoundTicks::zoom_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("centre");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("step");
    QTest::newRow("in by a notch from 0..80 moves to the next step")
        << 0.0 << 80.0 << 40.0 << 0.8 << 20.0 << 5.0;
    QTest::newRow("in at the left edge keeps it") << 0.0 << 80.0 << 0.0 << 0.8 << 0.0 << 5.0;
    QTest::newRow("out by a notch") << 0.0 << 80.0 << 40.0 << 1.25 << -20.0 << 20.0;
    QTest::newRow("several notches in at once") << 0.0 << 800.0 << 400.0 << 0.1 << 360.0 << 10.0;
    QTest::newRow("in below the smallest step stays")
        << 0.0 << 8.0 << 4.0 << 0.8 << 0.0 << 1.0; // with a minimum step of 1
}

void TestRoundTicks::zoom()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, centre);
    QFETCH(double, factor);
    const double minimum = QByteArray(QTest::currentDataTag()).contains("smallest") ? 1.0 : 0.0;
    const RoundTicks::Range r = RoundTicks::zoom(low, high, centre, factor, minimum);
    QTEST(r.min, "min");
    QTEST(r.step, "step");
    QVERIFY(r.min <= centre && r.min + RoundTicks::Intervals * r.step >= centre);
}

QTEST_APPLESS_MAIN(TestRoundTicks)
#include "tst_roundticks.moc"
