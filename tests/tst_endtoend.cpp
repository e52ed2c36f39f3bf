// The real window against the simulated board over a pseudo-terminal: open the port through
// the widgets, write a gain and read it back, run, watch all four channels plot at the board's
// rate, stop, and find every frame the board sent on the chart.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "tests/support/boardsimprocess.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <csignal>
#include <numeric>

namespace {
constexpr int SamplesPerSecond = 200; // per channel
constexpr int RunMs = 2000;

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

private:
    template <typename T> T *child(const char *name)
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }
    void typeInto(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    QString message() const { return window->statusBar()->currentMessage(); }

    MainWindow *window = nullptr;
};

void TestEndToEnd::tuneAndRun()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString reportPath = dir.filePath(QStringLiteral("report.json"));
    BoardSimProcess board(QStringLiteral(TAVRINO_BOARDSIM),
                          {QStringLiteral("--rate"), QString::number(SamplesPerSecond),
                           QStringLiteral("--seed"), QStringLiteral("7"),
                           QStringLiteral("--report"), reportPath});
    const QString device = board.waitForPath();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));

    MainWindow mainWindow;
    window = &mainWindow;
    mainWindow.show();

    // Open the port as a user would: type the device, click open.
    auto *ports = child<QComboBox>("comboPortPID");
    typeInto(ports->lineEdit(), device);
    QTest::mouseClick(child<QPushButton>("buttonOpenportPID"), Qt::LeftButton);
    QCOMPARE(message(), device + QStringLiteral("打开成功！"));
    QVERIFY(child<QPushButton>("buttonStart")->isEnabled());

    // Write P on channel 1, clear the field, read it back from the board.
    auto *editP = child<QLineEdit>("editP");
    typeInto(editP, QStringLiteral("2.5"));
    QTest::mouseClick(child<QPushButton>("buttonPWrite"), Qt::LeftButton);
    QCOMPARE(message(), QStringLiteral("已发送P"));
    typeInto(editP, QStringLiteral("0"));
    QTest::mouseClick(child<QPushButton>("buttonPRead"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(editP->text(), QStringLiteral("2.5"), 5000);
    QCOMPARE(message(), QStringLiteral("成功接收P"));

    // Run: all four channels plot at about the board's rate.
    PID_Diagram *chart = mainWindow.pidDiagram();
    QTest::mouseClick(child<QPushButton>("buttonStart"), Qt::LeftButton);
    QCOMPARE(child<QPushButton>("buttonStart")->text(), QStringLiteral("停止"));
    QVERIFY(chart->isRefreshing());
    QTRY_VERIFY_WITH_TIMEOUT(chart->sampleCounts().at(3) > 0, 5000);
    const QVector<quint32> first = chart->sampleCounts();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(RunMs);
    const QVector<quint32> later = chart->sampleCounts();
    const double seconds = clock.elapsed() / 1000.0;
    for (int ch = 0; ch < PID_Diagram::ChannelCount; ++ch) {
        const double rate = (later.at(ch) - first.at(ch)) / seconds;
        QVERIFY2(rate > 0.5 * SamplesPerSecond && rate < 1.5 * SamplesPerSecond,
                 qPrintable(QStringLiteral("channel %1: %2 samples/s").arg(ch + 1).arg(rate)));
    }
    // The horizontal axis follows the newest samples.
    const quint32 newest = *std::max_element(later.cbegin(), later.cend());
    QTRY_VERIFY(chart->horizontalAxis()->max() >= newest);

    // Stop, let the last frames land, then end the board and compare its count with the chart.
    QTest::mouseClick(child<QPushButton>("buttonStart"), Qt::LeftButton);
    QCOMPARE(child<QPushButton>("buttonStart")->text(), QStringLiteral("开始"));
    QVERIFY(!chart->isRefreshing());
    quint64 settled = total(chart->sampleCounts());
    for (int quiet = 0; quiet < 5;) {
        QTest::qWait(100);
        const quint64 now = total(chart->sampleCounts());
        quiet = now == settled ? quiet + 1 : 0;
        settled = now;
    }
    board.signal(SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(board.finished(), 10000);
    const QJsonObject report = BoardSimProcess::readReport(reportPath);
    QVERIFY2(!report.isEmpty(), "no report from the board");
    QCOMPARE(quint64(BoardSimProcess::number(report, "data_frames")), total(chart->sampleCounts()));
    // Each channel got its share: the board sends the four channels in turn.
    const QVector<quint32> counts = chart->sampleCounts();
    for (int ch = 1; ch < PID_Diagram::ChannelCount; ++ch)
        QVERIFY(qAbs(qint64(counts.at(ch)) - qint64(counts.at(0))) <= 1);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
