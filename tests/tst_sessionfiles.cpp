// History length, recording and raw capture through the real window: the history box and the
// chart follow each other and the default cap is announced; frames through a pseudo-terminal
// are recorded once each, in order, and their capture replayed by the board simulator into a
// fresh window gives the same chart; a recording that meets a full disk stops and keeps its rows.
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
#include <QtTest>

namespace {
using Sample = RecordingCodec::Sample;

// Values of 6 significant digits at most survive the recording's number format exactly.
QByteArray frames(int count, QVector<Sample> &sent, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const Sample s{0, int(random.bounded(4)), float(random.bounded(-99999, 99999)) / 100,
                       float(i % 1000)};
        bytes += sampleFrame(s.channel, s.actual, s.target);
        sent.append(s);
    }
    return bytes;
}

// Channel by channel, as the chart holds them.
QVector<Sample> chartSamples(const PID_Diagram *chart)
{
    QVector<Sample> out;
    for (int ch = 0; ch < PID_Diagram::ChannelCount; ++ch) {
        const auto actual = chart->samples().series(2 * ch);
        const auto target = chart->samples().series(2 * ch + 1);
        for (quint64 n = actual.first(); n < actual.end(); ++n)
            out.append({0, ch, actual.y(n), target.y(n)});
    }
    return out;
}

QVector<Sample> byChannel(QVector<Sample> samples)
{
    std::stable_sort(samples.begin(), samples.end(),
                     [](const Sample &a, const Sample &b) { return a.channel < b.channel; });
    return samples;
}

bool same(const QVector<Sample> &a, const QVector<Sample> &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](auto &x, auto &y) {
        return x.channel == y.channel && x.actual == y.actual && x.target == y.target;
    });
}
} // namespace

class SessionFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void historyLengthAndCap();
    void recordCaptureReplay();
    void recordingOntoFullDisk();
};

void SessionFilesTest::historyLengthAndCap()
{
    WindowDriver d;
    auto *box = d.child<QComboBox>("comboHistory");
    QCOMPARE(box->count(), int(PID_Diagram::HistoryLengths.size()));
    QCOMPARE(box->currentText(), QStringLiteral("10000"));
    box->setCurrentIndex(3);
    QCOMPARE(d.chart()->historyLength(), 10000000u);
    d.chart()->setHistoryLength(100000); // as an import that needs more does
    QCOMPARE(box->currentText(), QStringLiteral("100000"));

    box->setCurrentIndex(0);
    d.window().pidLink()->feed(sampleFrame(0, 1, 2).repeated(int(PID_Diagram::SampleCap) + 1));
    QCOMPARE(d.status(), QStringLiteral("已达10000点，图表已清空"));
    QCOMPARE(d.chart()->sampleCounts().at(0), 1u);
}

void SessionFilesTest::recordCaptureReplay()
{
    QTemporaryDir dir;
    const QString recordPath = dir.filePath(QStringLiteral("session.csv"));
    const QString capturePath = dir.filePath(QStringLiteral("session.tvcap"));
    ModalDriver modal;
    WindowDriver d;
    modal.answerFileDialog(recordPath);
    d.click("buttonRecord");
    modal.answerFileDialog(capturePath);
    d.window().findChild<QAction *>(QStringLiteral("actionCapture"))->trigger();
    QVERIFY(d.child<QPushButton>("buttonRecord")->isChecked());
    QVERIFY(d.child<QLabel>("labelRecording")->text().contains(QStringLiteral("捕获")));

    // Frames in uneven pieces, some cut in the middle.
    d.openPid();
    QVector<Sample> sent;
    const QByteArray bytes = frames(3000, sent, 11);
    for (int at = 0; at < bytes.size(); at += 997) {
        QVERIFY(d.peer().write(bytes.mid(at, 997)));
        QTest::qWait(1);
    }
    const SessionFiles *files = d.window().sessionFiles();
    QTRY_COMPARE_WITH_TIMEOUT(files->recorder().samplesRecorded(), quint64(sent.size()), 10000);
    d.click("buttonRecord");
    d.window().findChild<QAction *>(QStringLiteral("actionCapture"))->trigger();
    QVERIFY(!d.child<QLabel>("labelRecording")->isVisible());
    QCOMPARE(modal.problems, QStringList());

    const RecordingCodec::Decoded recorded = RecordingCodec::decode(readFile(recordPath));
    QCOMPARE(recorded.skipped, 0);
    QVERIFY(same(recorded.samples, sent));
    for (int i = 1; i < recorded.samples.size(); ++i)
        QVERIFY(recorded.samples.at(i).timeMs >= recorded.samples.at(i - 1).timeMs);
    QVERIFY(same(byChannel(recorded.samples), chartSamples(d.chart())));

    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QString error;
    QVERIFY2(board.start({QStringLiteral("--replay"), capturePath, QStringLiteral("--speed"),
                          QStringLiteral("max")},
                         &error),
             qPrintable(error));
    WindowDriver fresh;
    fresh.openPid(board.devicePath());
    QTRY_COMPARE_WITH_TIMEOUT(chartSamples(fresh.chart()).size(), sent.size(), 10000);
    QVERIFY(same(chartSamples(fresh.chart()), chartSamples(d.chart())));
    QVERIFY2(board.waitForExit(10000) && board.exitedCleanly(), qPrintable(board.errorOutput()));
}

void SessionFilesTest::recordingOntoFullDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.csv"));
    WindowDriver d;
    QVERIFY(d.window().sessionFiles()->startRecording(path));
    QVERIFY(d.child<QPushButton>("buttonRecord")->isChecked());
    QVector<Sample> sent;
    {
        const FileSizeLimit limit;
        QVERIFY(limit.isActive());
        d.window().pidLink()->feed(frames(8000, sent, 5));
        QTRY_VERIFY(d.status().startsWith(QStringLiteral("录制失败：")));
    }
    QVERIFY(!d.child<QPushButton>("buttonRecord")->isChecked());
    const RecordingCodec::Decoded kept = RecordingCodec::decode(readFile(path));
    QCOMPARE(kept.skipped, 0);
    QVERIFY(kept.samples.size() > 100 && kept.samples.size() < sent.size());
    QVERIFY(same(kept.samples, sent.mid(0, kept.samples.size())));
}

QTEST_MAIN(SessionFilesTest)
#include "tst_sessionfiles.moc"
