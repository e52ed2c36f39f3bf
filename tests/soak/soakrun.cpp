#include "tests/soak/soakrun.h"

#include "assistant/receivetail.h"
#include "tests/soak/loopprobe.h"
#include "tests/support/boardprocess.h"
#include "tests/support/windowdriver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

const QString openText = QStringLiteral("打开串口");
const QString closeText = QStringLiteral("关闭串口");
const QString stopText = QStringLiteral("停止");

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Bytes the program holds on the heap: tells growth apart from a heap that is merely
// fragmented, which resident size alone cannot.
qint64 heapInUse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#else
    return 0;
#endif
}

// ASan keeps freed memory in quarantine, so resident size says nothing about leaks there.
constexpr bool residentSizeMeaningful =
#if defined(__SANITIZE_ADDRESS__)
    false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    false;
#else
    true;
#endif
#else
    true;
#endif

QVector<quint64> numbersIn(const QString &text)
{
    QVector<quint64> numbers;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("\\d+")).globalMatch(text);
    while (it.hasNext())
        numbers.append(it.next().captured().toULongLong());
    return numbers;
}

quint64 count(const QJsonObject &object, const char *key)
{
    return quint64(object.value(QLatin1String(key)).toDouble());
}

} // namespace

SoakRun::SoakRun(const Options &options) : opts(options) {}

SoakRun::~SoakRun() = default;

quint64 SoakRun::framesReceived() const
{
    const QVector<quint64> health = numbersIn(d->child<QLabel>("labelLinkHealth")->text());
    return health.isEmpty() ? 0 : health[0];
}

int SoakRun::receiveBoxCharacters() const
{
    // Without the separator after the last paragraph.
    return d->child<QTextEdit>("textRecvOutput")->document()->characterCount() - 1;
}

QString SoakRun::buttonText(const char *name) const
{
    return d->child<QPushButton>(name)->text();
}

void SoakRun::pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SoakRun::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        pump(20);
    }
    return true;
}

void SoakRun::check(bool ok, const QString &what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.toLocal8Bit().constData());
    if (!ok)
        failures << what;
}

bool SoakRun::plugIn(QString *error)
{
    QStringList args{QStringLiteral("--seed"), QString::number(opts.seed + unsigned(sessions))};
    if (opts.hexFlood > 0) {
        // Four frames of ten bytes per period, from the moment the line is opened.
        args << QStringLiteral("--rate") << QString::number(opts.hexFlood / 40.0)
             << QStringLiteral("--autostart");
    } else if (opts.garbage) {
        // Every byte flipped, as fast as the line takes them, from the moment it is opened.
        args << QStringLiteral("--rate") << QStringLiteral("max") << QStringLiteral("--autostart")
             << QStringLiteral("--error-rate") << QStringLiteral("1");
    } else {
        args << QStringLiteral("--rate") << opts.rate;
        if (opts.errorPeriod > 0)
            args << QStringLiteral("--error-rate") << QString::number(opts.errorPeriod);
        if (opts.noRun)
            args << QStringLiteral("--autostart");
    }
    if (opts.stringMode)
        args << QStringLiteral("--string-mode");
    if (!board->start(args, error))
        return false;
    if (!openPort(error))
        return false;
    ++sessions;
    plottedAtSessionStart = d->chart()->samplesAppended();
    if (opts.noRun || opts.hexFlood > 0)
        return true;
    d->click("buttonStart");
    if (buttonText("buttonStart") != stopText) {
        *error = QStringLiteral("the run did not start");
        return false;
    }
    if (opts.paused)
        d->click("buttonPause");
    return true;
}

// Typed into the port box and opened with the button, as a user does.
bool SoakRun::openPort(QString *error)
{
    const bool assistant = opts.hexFlood > 0;
    const char *button = assistant ? "buttonOpenport" : "buttonOpenportPID";
    if (assistant) {
        d->showTab("tabUSART");
        d->typeInto("comboPort", board->devicePath());
        d->click(button);
    } else {
        d->openPid(board->devicePath());
    }
    if (buttonText(button) != closeText) {
        *error =
            QStringLiteral("the port did not open %1: %2").arg(board->devicePath(), d->status());
        return false;
    }
    return true;
}

bool SoakRun::pullOut()
{
    board->unplug();
    // The window notices the hang-up by itself and closes the port.
    const bool noticed =
        waitUntil([this] { return buttonText("buttonOpenportPID") == openText; }, 10000);
    check(noticed, QStringLiteral("session %1: the window closed the port after the unplug (%2)")
                       .arg(QString::number(sessions), d->status()));
    const quint64 plotted = d->chart()->samplesAppended() - plottedAtSessionStart;
    if (plotted == 0)
        ++sessionsWithoutSamples;
    return noticed;
}

bool SoakRun::finishBoard()
{
    if (opts.hexFlood > 0) {
        const bool finished = board->finish(20000);
        report = board->report();
        return finished;
    }
    // The stop command makes the simulator stop generating; without a run, one is started
    // for the purpose.
    if (opts.noRun && buttonText("buttonStart") != stopText)
        d->click("buttonStart");
    if (buttonText("buttonStart") == stopText)
        d->click("buttonStart");
    // Read the label while the port is still open: the simulator's exit hangs the line up,
    // and the window then hides the label. It is refreshed four times a second, so it is
    // final once it stays the same for a while.
    QLabel *label = d->child<QLabel>("labelLinkHealth");
    QElapsedTimer clock;
    clock.start();
    QString previous;
    do {
        previous = label ? label->text() : QString();
        pump(700);
    } while (label && label->text() != previous && clock.elapsed() < 60000);
    healthText = label ? label->text() : QString();
    plottedInSession = d->chart()->samplesAppended() - plottedAtSessionStart;

    const bool finished = board->finish(20000);
    report = board->report();
    return finished;
}

void SoakRun::sampleMemory(double elapsed)
{
    const qint64 rss = residentBytes();
    const qint64 heap = heapInUse();
    if (rssBaseline < 0 && elapsed >= warmUpSeconds) {
        rssBaseline = rss;
        heapBaseline = heap;
    }
    if (rssBaseline >= 0) {
        rssPeak = std::max(rssPeak, rss);
        heapPeak = std::max(heapPeak, heap);
    }
    rssEnd = rss;
    heapEnd = heap;
}

int SoakRun::run()
{
    d = std::make_unique<WindowDriver>();
    board = std::make_unique<BoardProcess>(opts.boardsim);
    probe = std::make_unique<LoopProbe>();

    if (opts.hexFlood > 0) {
        d->showTab("tabUSART");
        d->click("radioRecvOptHEX");
    }
    if (opts.stringMode)
        d->click("checkStringMode");
    if (opts.autoScroll)
        d->click("checkAuto");

    QString error;
    if (!plugIn(&error)) {
        std::fprintf(stderr, "soak: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sessionClock;
    sessionClock.start();
    probe->start();
    // A run of so many frames takes as long as the window needs; its first seconds are warm-up.
    warmUpSeconds = opts.frames > 0 ? 2.0 : std::min(30.0, opts.seconds * 0.1);
    double lastReport = 0;

    while (clock.elapsed() < qint64(opts.seconds * 1000)) {
        pump(250);
        const double elapsed = clock.elapsed() / 1000.0;
        sampleMemory(elapsed);
        if (elapsed - lastReport >= 60) {
            lastReport = elapsed;
            std::printf("%4.0f s: %llu samples plotted, RSS %.1f MB, heap %.2f MB, max lateness "
                        "%lld ms\n",
                        elapsed, (unsigned long long)d->chart()->samplesAppended(),
                        rssEnd / 1048576.0, heapEnd / 1048576.0, (long long)probe->maxLatenessMs());
            std::fflush(stdout);
        }
        if (opts.hexFlood > 0)
            mostBoxCharacters = std::max(mostBoxCharacters, receiveBoxCharacters());
        if (opts.frames > 0 && framesReceived() >= opts.frames)
            break;
        if (!opts.noRun && opts.hexFlood <= 0 && buttonText("buttonStart") != stopText &&
            buttonText("buttonOpenportPID") == closeText) {
            // A corrupted frame that reads as the board's start command toggles the run.
            ++runRestarts;
            d->click("buttonStart");
            if (opts.paused)
                d->click("buttonPause");
        }
        if (opts.unplugEvery > 0 && sessionClock.elapsed() >= qint64(opts.unplugEvery * 1000) &&
            elapsed + opts.unplugEvery < opts.seconds) {
            if (!pullOut() || !plugIn(&error)) {
                std::fprintf(stderr, "soak: %s\n", error.toLocal8Bit().constData());
                check(false, QStringLiteral("plugged back in and reopened through the widgets"));
                break;
            }
            sessionClock.restart();
        }
    }
    elapsedSeconds = clock.elapsed() / 1000.0;
    streamSeconds = sessionClock.elapsed() / 1000.0;
    const bool finished = finishBoard();
    probe->stop();
    check(finished, QStringLiteral("the simulator finished and wrote its report"));
    evaluate();

    results = figures();
    const QByteArray json = QJsonDocument(results).toJson();
    std::printf("%s", json.constData());
    if (!opts.jsonPath.isEmpty()) {
        QFile out(opts.jsonPath);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(json);
    }
    if (!board->errorOutput().isEmpty())
        std::printf("simulator: %s", board->errorOutput().toLocal8Bit().constData());
    std::printf("%s\n", failures.isEmpty() ? "SOAK PASSED" : "SOAK FAILED");
    d.reset();
    return failures.isEmpty() ? 0 : 1;
}

void SoakRun::evaluate()
{
    const quint64 sent = count(report, "bytes");
    const quint64 dataFrames = count(report, "data_frames");
    const quint64 lines = count(report, "lines");
    const quint64 commandFrames = count(report, "command_frames");
    const quint64 corrupted = count(report, "corrupted_bytes");
    const QVector<quint64> health = numbersIn(healthText);

    check(report.value(QLatin1String("bytes_left_in_line")).toInt(-1) == 0,
          QString::asprintf("the window read every byte the simulator sent (%llu bytes)", sent));
    if (opts.frames > 0)
        check(health.size() == 3 && health[0] >= opts.frames,
              QString::asprintf("%llu frames received within %.0f s (asked for %llu)",
                                health.value(0), elapsedSeconds, opts.frames));
    if (opts.hexFlood > 0) {
        const ReceiveTail::Limits limits;
        check(mostBoxCharacters <= limits.maxChars + limits.maxBlocks,
              QString::asprintf("the receive box held at most %d characters (cap %d)",
                                mostBoxCharacters, limits.maxChars));
    } else {
        check(health.size() == 3, QStringLiteral("link-health label reads \"%1\"").arg(healthText));
    }
    if (health.size() == 3 && !opts.stringMode) {
        const quint64 frames = health[0];
        const quint64 discarded = health[1];
        const qint64 pending = qint64(sent) - qint64(frames * 10 + discarded);
        check(pending >= 0 && pending <= 9,
              QString::asprintf("label: %llu frames × 10 + %llu bytes dropped + %lld pending = "
                                "%llu sent",
                                frames, discarded, pending, sent));
        // Without an active run what is kept of the samples is the chart's business.
        if (!opts.garbage && !opts.noRun && !opts.paused) {
            // A corrupted byte spoils at most the frame it lands in.
            check(plottedInSession + corrupted >= dataFrames,
                  QString::asprintf("plotted %llu samples of %llu frames sent with %llu corrupted "
                                    "bytes",
                                    plottedInSession, dataFrames, corrupted));
            // Frames not plotted are commands: replies, or data frames damaged into commands.
            check(plottedInSession <= frames &&
                      frames - plottedInSession <= commandFrames + corrupted,
                  QString::asprintf("label's %llu frames agree with %llu samples plotted", frames,
                                    plottedInSession));
        }
    }
    if (health.size() == 3 && opts.stringMode && !opts.garbage && !opts.noRun && !opts.paused) {
        const quint64 good = health[0];
        check(good + corrupted >= lines,
              QString::asprintf("%llu of %llu lines read with %llu corrupted bytes", good, lines,
                                corrupted));
        check(plottedInSession == 4 * good,
              QString::asprintf("label's %llu lines agree with %llu samples plotted", good,
                                plottedInSession));
    }
    if (opts.unplugEvery > 0)
        check(sessionsWithoutSamples == 0 && plottedInSession > 0,
              QString::asprintf("samples plotted in every one of %d sessions", sessions));

    const double driftMb = (rssPeak - rssBaseline) / 1048576.0;
    if (residentSizeMeaningful && opts.maxDriftMb > 0)
        check(rssBaseline > 0 && driftMb <= opts.maxDriftMb,
              QString::asprintf("resident memory grew %.1f MB after warm-up (limit %g MB)", driftMb,
                                opts.maxDriftMb));
    check(probe->maxLatenessMs() <= opts.maxLatenessMs,
          QString::asprintf("event loop at most %lld ms late (limit %lld ms)",
                            probe->maxLatenessMs(), opts.maxLatenessMs));
    if (opts.minRateFraction > 0 && !opts.garbage) {
        const double rate = opts.hexFlood > 0 ? opts.hexFlood / 40.0 : opts.rate.toDouble();
        const double asked = rate * (opts.stringMode ? 1 : 4) * streamSeconds;
        const double got = double(opts.stringMode ? lines : dataFrames);
        check(asked > 0 && got >= opts.minRateFraction * asked,
              QString::asprintf("%.0f of %.0f asked-for frames arrived", got, asked));
    }
}

QJsonObject SoakRun::figures() const
{
    QJsonObject f;
    f[QStringLiteral("seconds")] = elapsedSeconds;
    f[QStringLiteral("last_session_seconds")] = streamSeconds;
    f[QStringLiteral("mode")] =
        opts.hexFlood > 0 ? QStringLiteral("hex flood")
        : opts.garbage    ? QStringLiteral("garbage")
                          : (opts.stringMode ? QStringLiteral("string") : QStringLiteral("binary"));
    f[QStringLiteral("run")] = opts.noRun    ? QStringLiteral("none")
                               : opts.paused ? QStringLiteral("paused")
                                             : QStringLiteral("active");
    f[QStringLiteral("receive_box_characters_max")] = mostBoxCharacters;
    f[QStringLiteral("sessions")] = sessions;
    f[QStringLiteral("run_restarts")] = runRestarts;
    f[QStringLiteral("samples_plotted_total")] = double(d->chart()->samplesAppended());
    f[QStringLiteral("samples_plotted_last_session")] = double(plottedInSession);
    f[QStringLiteral("link_health")] = healthText;
    f[QStringLiteral("rss_baseline_mb")] = rssBaseline / 1048576.0;
    f[QStringLiteral("rss_peak_mb")] = rssPeak / 1048576.0;
    f[QStringLiteral("rss_end_mb")] = rssEnd / 1048576.0;
    f[QStringLiteral("heap_baseline_mb")] = heapBaseline / 1048576.0;
    f[QStringLiteral("heap_peak_mb")] = heapPeak / 1048576.0;
    f[QStringLiteral("heap_end_mb")] = heapEnd / 1048576.0;
    f[QStringLiteral("max_lateness_ms")] = double(probe->maxLatenessMs());
    f[QStringLiteral("late_ticks")] = double(probe->lateTicks());
    f[QStringLiteral("probe_ticks")] = double(probe->ticks());
    f[QStringLiteral("simulator")] = report;
    f[QStringLiteral("failures")] = QJsonArray::fromStringList(failures);
    return f;
}
