// tavrino-step: its options, then the program against the simulated board and against a
// pseudo-terminal the test plays the board on.
#include "datafiles/recordingcodec.h"
#include "tests/support/boardprocess.h"
#include "tests/support/pseudoterminal.h"
#include "tests/support/testdata.h"
#include "tools/step/stepoptions.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <csignal>

class StepTestTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void options_data();
    void options();
    void stepWithFigures();
    void identifySuggestApply_data();
    void identifySuggestApply();
    void exitStatus_data();
    void exitStatus();
    void listenOnlySendsNothing();
    void silentBoard_data();
    void silentBoard();
    void interruptSendsStop();

private:
    // Runs tavrino-step to its end; its standard output and error, and the exit status.
    struct Run
    {
        int status = -1;
        QByteArray out;
        QString errors;
    };
    static Run step(const QStringList &arguments, int timeoutMs = 15000);
    QTemporaryDir folder;
};

StepTestTest::Run StepTestTest::step(const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(TAVRINO_STEP), arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.errors = QStringLiteral("timed out");
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

void StepTestTest::options_data()
{
    QTest::addColumn<QStringList>("arguments"); // @: a port and a channel
    QTest::addColumn<QString>("error");         // empty: accepted
    const auto row = [](const char *name, const char *args, const char *error = "") {
        QTest::newRow(name) << words(QString(args).replace('@', "--port /dev/x --channel 2"))
                            << QString::fromUtf8(error);
    };
    row("listen only", "@");
    row("string mode", "@ --target 5 --string-mode");
    row("everything", "@ --target 5 --gains 1,2,0.5 --form samples --derivative error --limits "
                      "-10,10 --duration 0.5 --suggest fast --apply --csv a --png b --json "
                      "--max-overshoot 5 --max-settling-ms 300 --baud 9600");
    row("no port", "--channel 1", "--port is required");
    row("no channel", "--port /dev/x", "--channel wants 1, 2, 3 or 4");
    row("channel 5", "@ --channel 5", "--channel wants");
    row("target not a number", "@ --target abc", "--target wants a number, not \"abc\"");
    row("two gains", "@ --target 1 --gains 1,2", "--gains wants three numbers P,I,D");
    row("baud", "@ --baud 0", "--baud: ");
    row("form", "@ --form hours", "--form takes seconds, samples");
    row("limits reversed", "@ --limits 5,1", "MIN below MAX");
    row("duration", "@ --duration -1", "--duration wants seconds");
    row("aim", "@ --target 1 --suggest best", "--suggest takes robust, balanced, fast");
    row("apply without suggest", "@ --target 1 --apply", "--apply needs --suggest");
    row("gains without target", "@ --gains 1,2,3", "--gains needs --target");
    row("identify without target", "@ --identify", "--identify needs --target");
    row("string mode cannot read back", "@ --target 1 --gains 1,2,3 --string-mode",
        "--gains reads the gains back");
    row("unknown option", "@ --speed 3", "speed");
    row("stray argument", "@ extra", "unexpected argument \"extra\"");
}

void StepTestTest::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const StepOptions::Parsed parsed =
        StepOptions::parse(QStringList{QStringLiteral("tavrino-step")} + arguments);
    if (error.isEmpty()) {
        QCOMPARE(parsed.text, QString());
        QCOMPARE(int(parsed.outcome), int(StepOptions::Outcome::Run));
        return;
    }
    QCOMPARE(int(parsed.outcome), int(StepOptions::Outcome::Error));
    QVERIFY2(parsed.text.contains(error), qPrintable(parsed.text));
    // The program says the same and exits with 1.
    const Run run = step(arguments);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
}

// A step on the simulated board: gains confirmed, every key of the report, the samples as a
// recording and the picture.
void StepTestTest::stepWithFigures()
{
    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(board.start(words("--noise 0")), qPrintable(board.errorOutput()));
    const QString csv = folder.filePath("step.csv"), png = folder.filePath("step.png");
    const Run run = step(words("--port %1 --channel 1 --target 80 --gains 0.6,5,0.001 --json "
                               "--csv %2 --png %3")
                             .replaceInStrings("%1", board.devicePath())
                             .replaceInStrings("%2", csv)
                             .replaceInStrings("%3", png));
    QVERIFY2(run.status == 0, qPrintable(run.errors));
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(report.keys(), words("applied channel gains model samplePeriodMs step suggestions"));
    QCOMPARE(report.value("channel").toInt(), 1);
    QVERIFY(report.value("model").isNull() && report.value("applied").isNull());
    QCOMPARE(report.value("gains").toObject().value("i").toDouble(), 5.0);
    QVERIFY(qAbs(report.value("samplePeriodMs").toDouble() - 10) < 3);
    const QJsonObject figures = report.value("step").toObject();
    QCOMPARE(figures.keys().size(), 7);
    QCOMPARE(figures.value("from").toDouble(), 0.0);
    QCOMPARE(figures.value("to").toDouble(), 80.0);
    for (const char *key : {"riseMs", "peakMs", "overshootPct", "settlingMs"})
        QVERIFY2(figures.value(QLatin1String(key)).toDouble(-1) > 0, key);
    // Settled and held for as long again, then stopped: the board saw the stop.
    QVERIFY(board.finish(5000));
    QCOMPARE(board.number("starts"), 1);

    const RecordingCodec::Decoded samples = RecordingCodec::decode(readFile(csv));
    QCOMPARE(samples.skipped, 0);
    QVERIFY(samples.samples.size() > 20);
    QCOMPARE(samples.samples.constLast().target, 80.0f);
    QCOMPARE(samples.samples.constFirst().channel, 0);
    QCOMPARE(QImage(png).size(), QSize(960, 540));
}

void StepTestTest::identifySuggestApply_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("gains");
    QTest::newRow("per second") << QStringLiteral("seconds") << QStringLiteral("0.3,2,0");
    QTest::newRow("per sample") << QStringLiteral("samples") << QStringLiteral("0.3,0.02,0");
}

// A plant of gain 2, 150 ms and 30 ms dead time, noise-free: identified, the balanced
// suggestion written and its step as predicted, in both forms.
void StepTestTest::identifySuggestApply()
{
    QFETCH(QString, form);
    QFETCH(QString, gains);
    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(board.start(words("--noise 0 --plant 2:2,0.15,0.03 --form " + form)),
             qPrintable(board.errorOutput()));
    const Run run = step(words(QString("--port %1 --channel 2 --target 50 --gains %2 --form %3 "
                                       "--suggest balanced --apply --json")
                                   .arg(board.devicePath(), gains, form)));
    QVERIFY2(run.status == 0, qPrintable(run.errors));
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    const QJsonObject model = report.value("model").toObject();
    QVERIFY2(qAbs(model.value("gain").toDouble() / 2 - 1) < 0.05, run.out);
    // Over a real line a loaded machine delays reads now and then: the time constant within
    // the tuning targets' 20 %, not the simulated loop's few percent.
    QVERIFY2(qAbs(model.value("timeConstantMs").toDouble() / 150 - 1) < 0.2, run.out);
    QVERIFY2(qAbs(model.value("deadTimeMs").toDouble() - 30) < 20, run.out);
    QVERIFY(model.value("fitPct").toDouble() >= 90);

    const QJsonArray suggestions = report.value("suggestions").toArray();
    QCOMPARE(suggestions.size(), 1);
    const QJsonObject balanced = suggestions.first().toObject();
    QCOMPARE(balanced.value("aim").toString(), QStringLiteral("balanced"));
    const QJsonObject applied = report.value("applied").toObject();
    for (const char *gain : {"p", "i", "d"})
        QCOMPARE(float(applied.value("gains").toObject().value(QLatin1String(gain)).toDouble()),
                 float(balanced.value(QLatin1String(gain)).toDouble()));
    const QJsonObject measured = applied.value("step").toObject();
    const QJsonObject predicted = applied.value("predicted").toObject();
    QCOMPARE(predicted, balanced.value("predicted").toObject());
    QVERIFY2(measured.value("overshootPct").toDouble() <= 10, run.out);
    const double settling = measured.value("settlingMs").toDouble();
    QVERIFY2(qAbs(settling / predicted.value("settlingMs").toDouble() - 1) <= 0.3, run.out);
    QVERIFY(applied.value("predictionFitPct").toDouble() >= 85);
    QVERIFY(board.finish(5000));
    QCOMPARE(board.number("starts"), 2);
}

void StepTestTest::exitStatus_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("within the limits")
        << "--max-overshoot 90 --max-settling-ms 5000" << 0 << QString();
    QTest::newRow("overshoot too high")
        << "--max-overshoot 0.5" << 2 << QStringLiteral("exceeds --max-overshoot 0.5 %");
    QTest::newRow("never settled within the duration")
        << "--duration 0.3 --max-settling-ms 5000" << 2 << QStringLiteral("the step never settled");
    QTest::newRow("no step") << "--target 0" << 1 << QStringLiteral("no step on CH1");
}

// CH1's default gains overshoot by some 20 %.
void StepTestTest::exitStatus()
{
    QFETCH(QString, options);
    BoardProcess board(QStringLiteral(TAVRINO_BOARDSIM));
    QVERIFY2(board.start(words("--noise 0")), qPrintable(board.errorOutput()));
    const QString target = options.contains("--target") ? "" : "--target 100 ";
    const Run run =
        step(words("--port " + board.devicePath() + " --channel 1 " + target + options));
    QFETCH(QString, message);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
    QTEST(run.status, "status");
}

// Without a target nothing goes to the board. It was mid-response when the port opened (not a
// step), then steps from 0 to 10 on its own.
void StepTestTest::listenOnlySendsNothing()
{
    PseudoTerminal line;
    QProcess process;
    process.start(QStringLiteral(TAVRINO_STEP), words("--channel 2 --port " + line.slavePath()));
    QVERIFY(process.waitForStarted());
    // Frames written before the tool opened its end would be flushed by the open; a slow
    // (sanitized) start takes longer than any fixed wait.
    const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
    const auto opened = [&] {
        const QStringList links = QDir(fds).entryList(QDir::Files | QDir::System);
        return std::any_of(links.cbegin(), links.cend(), [&](const QString &fd) {
            return QFileInfo(fds + QLatin1Char('/') + fd).symLinkTarget() == line.slavePath();
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(opened(), 10000);
    // The tool may still clear what came in while it set the port up: the board's value before
    // the recorded stretch, steady, for a second first.
    for (int k = 0; k < 20; ++k) {
        QVERIFY(line.write(sampleFrame(1, 5.0f, 0)));
        QVERIFY(line.readFor(50).isEmpty());
    }
    QByteArray board;
    for (int k = 0; k < 20; ++k)
        board += sampleFrame(1, k < 10 ? 5.0f - 0.5f * k : 0.0f, 0);
    for (int k = 0; k < 100; ++k)
        board += sampleFrame(1, float(10 * (1 - std::exp(-k / 8.0))), 10);
    QVERIFY(line.write(board));
    QVERIFY(process.waitForFinished(15000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    const QByteArray out = process.readAllStandardOutput();
    QVERIFY2(out.contains("step                  0 -> 10\n"), out.constData());
    QVERIFY2(out.contains("overshoot             0.0 %"), out.constData());
    QCOMPARE(line.readFor(50), QByteArray());
}

void StepTestTest::silentBoard_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("gains never confirmed")
        << "--gains 1,2,3" << QStringLiteral("did not confirm P, I, D within 1 s");
    QTest::newRow("no samples") << QString() << QStringLiteral("no samples from CH3 within 2 s");
    QTest::newRow("no gains to identify with")
        << "--identify" << QStringLiteral("did not report its gains P, I, D within 1 s");
}

// A pseudo-terminal nobody answers on.
void StepTestTest::silentBoard()
{
    QFETCH(QString, options);
    PseudoTerminal line;
    QVERIFY(line.isOpen());
    const Run run =
        step(words("--channel 3 --target 7 --port " + line.slavePath() + ' ' + options));
    QFETCH(QString, message);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.isEmpty());
}

// Ctrl-C mid-step: the stop frame goes out before the program ends.
void StepTestTest::interruptSendsStop()
{
    PseudoTerminal line;
    QProcess process;
    process.start(QStringLiteral(TAVRINO_STEP),
                  words("--channel 1 --target 10 --port " + line.slavePath()));
    // Reads of P, I, D: answered, then the target and the start.
    const QByteArray reads = line.read(3 * FrameSize, 5000);
    QCOMPARE(reads, commandFrame(CmdP, DirRead, 0) + commandFrame(CmdI, DirRead, 0) +
                        commandFrame(CmdD, DirRead, 0));
    QVERIFY(line.write(commandFrame(CmdP, DirWrite, 0, 1) + commandFrame(CmdI, DirWrite, 0, 2) +
                       commandFrame(CmdD, DirWrite, 0, 0)));
    QCOMPARE(line.read(2 * FrameSize),
             commandFrame(CmdTarget, DirWrite, 0, 10) + commandFrame(CmdStart, DirRead, 0));
    for (int k = 0; k < 5; ++k)
        QVERIFY(line.write(sampleFrame(0, float(k), 10)));
    line.readFor(200);
    ::kill(pid_t(process.processId()), SIGINT);
    QCOMPARE(line.read(FrameSize), commandFrame(CmdStop, DirRead, 0));
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("interrupted"));
}

QTEST_GUILESS_MAIN(StepTestTest)
#include "tst_steptest.moc"
