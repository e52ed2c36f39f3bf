// tavrino_soak: the window against the board simulator for as long as asked, then the counts.
#include "tests/soak/soakrun.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The window needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the main window on the offscreen platform against tavrino-boardsim: opens the "
        "PID tab's port and starts the run through the widgets, streams for the given time, "
        "then checks the simulator's counts against the link-health label and the chart, the "
        "growth of resident memory and the event loop's lateness."));
    parser.addHelpOption();
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Duration (default 600)."), QStringLiteral("s"),
                                     QStringLiteral("600"));
    const QCommandLineOption rate(
        QStringLiteral("rate"),
        QStringLiteral("Samples per second per channel, four frames each (default 5000), or max."),
        QStringLiteral("n"), QStringLiteral("5000"));
    const QCommandLineOption errors(
        QStringLiteral("error-rate"),
        QStringLiteral("One corrupted byte in every R bytes, 0 for none (default 100000)."),
        QStringLiteral("R"), QStringLiteral("100000"));
    const QCommandLineOption garbage(
        QStringLiteral("garbage"),
        QStringLiteral("A board that sends nothing but garbage, as fast as the line goes."));
    const QCommandLineOption stringMode(QStringLiteral("string-mode"),
                                        QStringLiteral("Text lines instead of binary frames."));
    const QCommandLineOption autoScroll(QStringLiteral("auto-scroll"),
                                        QStringLiteral("Fit the vertical axis on every redraw."));
    const QCommandLineOption unplug(
        QStringLiteral("unplug-every"),
        QStringLiteral("Pull the adapter out every s seconds and plug a new one in (default 0: "
                       "never)."),
        QStringLiteral("s"), QStringLiteral("0"));
    const QCommandLineOption drift(
        QStringLiteral("max-drift-mb"),
        QStringLiteral("Allowed growth of resident memory after warm-up (default 20)."),
        QStringLiteral("MB"), QStringLiteral("20"));
    const QCommandLineOption lateness(
        QStringLiteral("max-lateness-ms"),
        QStringLiteral("Allowed lateness of the event loop (default 2000)."), QStringLiteral("ms"),
        QStringLiteral("2000"));
    const QCommandLineOption minRate(
        QStringLiteral("min-rate-fraction"),
        QStringLiteral("Part of the asked frame rate that must arrive (default 0: not checked)."),
        QStringLiteral("f"), QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the simulator (default 1)."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Also write the figures to this file."),
                                  QStringLiteral("file"));
    const QCommandLineOption boardsim(QStringLiteral("boardsim"),
                                      QStringLiteral("The simulator program."),
                                      QStringLiteral("path"), QStringLiteral(TAVRINO_BOARDSIM));
    const QCommandLineOption noRun(
        QStringLiteral("no-run"),
        QStringLiteral("The board streams while no run is active: 开始 is never pressed."));
    const QCommandLineOption paused(QStringLiteral("paused"),
                                    QStringLiteral("Start the run, then pause it with 暂停."));
    const QCommandLineOption frames(
        QStringLiteral("frames"),
        QStringLiteral("Stream until the window received N frames; --seconds bounds the wait."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption hexFlood(
        QStringLiteral("hex-flood"),
        QStringLiteral("Stream B bytes per second onto the serial assistant tab, shown in "
                       "hexadecimal (with --max-lateness-ms 200: no stall over 200 ms)."),
        QStringLiteral("B"), QStringLiteral("0"));
    parser.addOptions({seconds, rate, errors, garbage, stringMode, autoScroll, unplug, drift,
                       lateness, minRate, seed, json, boardsim, noRun, paused, frames, hexFlood});
    parser.process(app);

    SoakRun::Options opts;
    bool ok = true;
    auto number = [&parser, &ok](const QCommandLineOption &option) {
        bool good = false;
        const double value = parser.value(option).toDouble(&good);
        if (!good || value < 0) {
            std::fprintf(stderr, "tavrino_soak: --%s wants a number of at least 0\n",
                         option.names().constFirst().toLocal8Bit().constData());
            ok = false;
        }
        return value;
    };
    opts.seconds = number(seconds);
    opts.rate = parser.value(rate);
    opts.errorPeriod = quint64(number(errors));
    opts.garbage = parser.isSet(garbage);
    opts.stringMode = parser.isSet(stringMode);
    opts.autoScroll = parser.isSet(autoScroll);
    opts.unplugEvery = number(unplug);
    opts.maxDriftMb = number(drift);
    opts.maxLatenessMs = qint64(number(lateness));
    opts.minRateFraction = number(minRate);
    opts.seed = unsigned(number(seed));
    opts.jsonPath = parser.value(json);
    opts.boardsim = parser.value(boardsim);
    opts.noRun = parser.isSet(noRun);
    opts.paused = parser.isSet(paused);
    opts.frames = quint64(number(frames));
    opts.hexFlood = number(hexFlood);
    if (!ok)
        return 2;
    return SoakRun(opts).run();
}
