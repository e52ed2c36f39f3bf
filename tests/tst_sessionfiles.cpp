// History length, recording and raw capture through the real window and a pseudo-terminal,
// the capture replayed by the board simulator into a fresh window.
#include "app/stickystatus.h"
#include "datafiles/recordingcodec.h"
#include "datafiles/sessionfiles.h"
#include "pidlink/pidlink.h"
#include "tests/support/boardprocess.h"
#include "tests/support/modaldriver.h"
#include "tests/support/smalldisk.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QtTest>

namespace {
using Sample = RecordingCodec::Sample;

// Values of 6 significant digits at most survive the recording's number format exactly.
QByteArray frames(int count, QVector<Sample> &sent, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        sent.append({0, int(random.bounded(4)), float(random.bounded(-99999, 99999)) / 100,
                     float(i % 1000)});
        bytes += sampleFrame(sent.last().channel, sent.last().actual, sent.last().target);
    }
    return bytes;
}

// As recording rows without their times.
QByteArray rows(const QVector<Sample> &samples)
{
    QByteArray out;
    for (const Sample &s : samples)
        RecordingCodec::appendRow(out, 0, s.channel, s.actual, s.target);
    return out;
}

} // namespace

class SessionFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void historyCapAndFullDisk();
    void recordCaptureReplay();
    void failuresStayInView_data();
    void failuresStayInView();
};

// Without a port: the history box and the chart follow each other, the default cap is
// announced, and a recording that meets a full disk stops.
void SessionFilesTest::historyCapAndFullDisk()
{
    WindowDriver d;
    auto *box = d.child<QComboBox>("comboHistory");
    QCOMPARE(box->currentText(), QStringLiteral("10000"));
    box->setCurrentIndex(3);
    QCOMPARE(d.chart()->historyLength(), 10000000u);
    d.chart()->setHistoryLength(100000); // as an import that needs more does
    QCOMPARE(box->currentText(), QStringLiteral("100000"));
    box->setCurrentIndex(0);
    d.window().pidLink()->feed(sampleFrame(0, 1, 2).repeated(int(PID_Diagram::SampleCap) + 1));
    QCOMPARE(d.status(), QStringLiteral("已达10000点，图表已清空"));
    QCOMPARE(d.chart()->sampleCounts().at(0), 1u);

    QTemporaryDir dir;
    QVERIFY(d.window().sessionFiles()->start(SessionFiles::Recording,
                                             dir.filePath(QStringLiteral("full.csv"))));
    QVector<Sample> sent;
    {
        const FileSizeLimit limit;
        QVERIFY(limit.isActive());
        d.window().pidLink()->feed(frames(8000, sent, 5));
        QTRY_VERIFY(d.status().startsWith(QStringLiteral("录制失败：")));
    }
    // What the file keeps: tst_recording's fullDiskKeepsWholeRecords.
    QVERIFY(!d.child<QPushButton>("buttonRecord")->isChecked());
}

// Frames through the pseudo-terminal are recorded once each, in order, with times that never
// go back; their capture replayed into a fresh window gives the same chart.
void SessionFilesTest::recordCaptureReplay()
{
    QTemporaryDir dir;
    const QString recordPath = dir.filePath(QStringLiteral("session.csv"));
    const QString capturePath = dir.filePath(QStringLiteral("session.tvcap"));
    ModalDriver modal;
    WindowDriver d;
    auto *capture = d.window().findChild<QAction *>(QStringLiteral("actionCapture"));
    modal.answerFileDialog(recordPath);
    d.click("buttonRecord");
    modal.answerFileDialog(capturePath);
    capture->trigger();
    QVERIFY(d.child<QPushButton>("buttonRecord")->isChecked() && capture->isChecked());
    QVERIFY(d.child<QLabel>("labelRecording")->text().contains(QStringLiteral("捕获")));

    d.openPid();
    QVector<Sample> sent;
    const QByteArray bytes = frames(3000, sent, 11);
    for (int at = 0; at < bytes.size(); at += 997) { // pieces that cut frames
        QVERIFY(d.peer().write(bytes.mid(at, 997)));
        QTest::qWait(1);
    }
    const SessionFiles *files = d.window().sessionFiles();
    QTRY_COMPARE_WITH_TIMEOUT(files->writer(SessionFiles::Recording).itemCount(),
                              quint64(sent.size()), 10000);
    d.click("buttonRecord");
    capture->trigger();
    QVERIFY(!d.child<QLabel>("labelRecording")->isVisible());

    const RecordingCodec::Decoded recorded = RecordingCodec::decode(readFile(recordPath));
    QCOMPARE(recorded.skipped, 0);
    QCOMPARE(rows(recorded.samples), rows(sent));
    for (int i = 1; i < recorded.samples.size(); ++i)
        QVERIFY(recorded.samples.at(i).timeMs >= recorded.samples.at(i - 1).timeMs);

    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(board.start(words("--speed max --replay " + capturePath)),
             qPrintable(board.errorOutput()));
    WindowDriver fresh;
    fresh.openPid(board.devicePath());
    QTRY_COMPARE_WITH_TIMEOUT(fresh.chart()->samplesAppended(), quint64(sent.size()), 10000);
    QCOMPARE(fresh.chart()->allPoints(), d.chart()->allPoints());
    QVERIFY2(board.waitForExit(10000) && board.exitedCleanly(), qPrintable(board.errorOutput()));

    // Recorded again: each sample once, and none while stopped.
    d.window().pidLink()->feed(sampleFrame(0, 1, 2));
    modal.answerFileDialog(dir.filePath(QStringLiteral("again.csv")));
    d.click("buttonRecord");
    d.window().pidLink()->feed(sampleFrame(0, 1, 2).repeated(5));
    QCOMPARE(files->writer(SessionFiles::Recording).itemCount(), quint64(5));
    d.click("buttonRecord");
    d.window().pidLink()->feed(sampleFrame(0, 1, 2));
    QCOMPARE(files->writer(SessionFiles::Recording).itemCount(), quint64(5));
}

void SessionFilesTest::failuresStayInView_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<QString>("label");
    QTest::newRow("recording deleted") << false << "录制失败";
    QTest::newRow("recording and capture deleted: both said") << true << "录制失败 | 捕获失败";
}

// Files deleted while written: the stop says so and names the copy, never "已保存"; the
// failures stay in the status bar over routine messages, and in red beside it until the next
// start; the hold ends after its time.
void SessionFilesTest::failuresStayInView()
{
    QFETCH(bool, capture);
    QTemporaryDir dir;
    WindowDriver d;
    SessionFiles *files = d.window().sessionFiles();
    const QString record = dir.filePath(QStringLiteral("rec5.csv"));
    const QString raw = dir.filePath(QStringLiteral("raw.tvcap"));
    QVERIFY(files->start(SessionFiles::Recording, record));
    QVERIFY(!capture || files->start(SessionFiles::Capture, raw));
    QVERIFY(QFile::remove(record) && (!capture || QFile::remove(raw)));
    d.click("buttonRecord");
    files->stop(SessionFiles::Capture);
    QString said =
        QStringLiteral("录制失败：文件已被删除或移动，已写入的内容另存为 %1")
            .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("rec5-recovered.csv"))));
    if (capture)
        said +=
            QStringLiteral("；捕获失败：文件已被删除或移动，已写入的内容另存为 %1")
                .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("raw-recovered.tvcap"))));
    QCOMPARE(d.status(), said);
    d.window().pidLink()->feed(sampleFrame(0, 1, 2).repeated(int(PID_Diagram::SampleCap) + 1));
    QCOMPARE(d.status(), said);
    auto *label = d.child<QLabel>("labelRecording");
    QTEST(label->text(), "label");
    QVERIFY(!label->isHidden() && label->styleSheet().contains(QLatin1String("#c62828")));
    QVERIFY(files->start(SessionFiles::Recording, record));
    QVERIFY(!label->text().contains(QStringLiteral("录制失败")));

    QStatusBar bar;
    StickyStatus sticky(&bar, 50);
    sticky.hold(QStringLiteral("a"));
    bar.showMessage(QStringLiteral("routine"));
    QCOMPARE(bar.currentMessage(), QStringLiteral("a"));
    QTest::qWait(100);
    bar.showMessage(QStringLiteral("routine"));
    QCOMPARE(bar.currentMessage(), QStringLiteral("routine"));
}

QTEST_MAIN(SessionFilesTest)
#include "tst_sessionfiles.moc"
