// The real window against the simulated board over a pseudo-terminal: open the port through
// the widgets, write a gain and read it back, run, watch all four channels plot, stop, and
// find every frame the board sent on the chart.
#include "tests/support/boardprocess.h"
#include "tests/support/windowdriver.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <numeric>

namespace {
constexpr int SamplesPerSecond = 200; // per channel

quint64 total(const QVector<quint32> &counts)
{
    return std::accumulate(counts.cbegin(), counts.cend(), quint64(0));
}
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tuneAndRun();
};

void TestEndToEnd::tuneAndRun()
{
    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QString error;
    QVERIFY2(board.start({QStringLiteral("--rate"), QString::number(SamplesPerSecond),
                          QStringLiteral("--seed"), QStringLiteral("7")},
                         &error),
             qPrintable(error));
    const QString device = board.devicePath();

    // Open the port as a user would: type the device, click open.
    WindowDriver d;
    d.openPid(device);
    QCOMPARE(d.status(), device + QStringLiteral("打开成功！"));
    auto *run = d.child<QPushButton>("buttonStart");
    QVERIFY(run->isEnabled());

    // Write P on channel 1, clear the field, read it back from the board.
    d.typeInto("editP", QStringLiteral("2.5"));
    d.click("buttonPWrite");
    QCOMPARE(d.status(), QStringLiteral("已发送P"));
    d.typeInto("editP", QStringLiteral("0"));
    d.click("buttonPRead");
    QTRY_COMPARE_WITH_TIMEOUT(d.child<QLineEdit>("editP")->text(), QStringLiteral("2.5"), 5000);
    QCOMPARE(d.status(), QStringLiteral("成功接收P"));

    // Run: all four channels plot, and the horizontal axis follows the newest samples.
    PID_Diagram *chart = d.chart();
    d.click("buttonStart");
    QCOMPARE(run->text(), QStringLiteral("停止"));
    QVERIFY(chart->isRefreshing());
    QTRY_VERIFY_WITH_TIMEOUT(chart->sampleCounts().at(3) > 2 * SamplesPerSecond / 10, 5000);
    const QVector<quint32> later = chart->sampleCounts();
    const quint32 newest = *std::max_element(later.cbegin(), later.cend());
    QTRY_VERIFY(chart->horizontalAxis()->max() >= newest);

    // Stop, let the last frames land, then end the board and compare its count with the chart.
    d.click("buttonStart");
    QCOMPARE(run->text(), QStringLiteral("开始"));
    QVERIFY(!chart->isRefreshing());
    quint64 settled = total(chart->sampleCounts());
    for (int quiet = 0; quiet < 5;) {
        QTest::qWait(100);
        const quint64 now = total(chart->sampleCounts());
        quiet = now == settled ? quiet + 1 : 0;
        settled = now;
    }
    QVERIFY2(board.finish(10000), "no report from the board");
    QCOMPARE(quint64(board.number("data_frames")), total(chart->sampleCounts()));
    // Each channel got its share: the board sends the four channels in turn.
    const QVector<quint32> counts = chart->sampleCounts();
    for (int ch = 1; ch < ChannelCount; ++ch)
        QVERIFY(qAbs(qint64(counts.at(ch)) - qint64(counts.at(0))) <= 1);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
