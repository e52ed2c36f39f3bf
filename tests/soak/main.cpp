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
    // Name, help, value name and default; no value name: a switch.
    const char *const table[][4] = {
        {"seconds", "Duration (default 600).", "s", "600"},
        {"rate", "Samples per second per channel, four frames each (default 5000), or max.", "n",
         "5000"},
        {"error-rate", "One corrupted byte in every R bytes, 0 for none (default 100000).", "R",
         "100000"},
        {"garbage", "A board that sends nothing but garbage, as fast as the line goes.", "", ""},
        {"string-mode", "Text lines instead of binary frames.", "", ""},
        {"auto-scroll", "Fit the vertical axis on every redraw.", "", ""},
        {"unplug-every",
         "Pull the adapter out every s seconds and plug a new one in (default 0: never).", "s",
         "0"},
        {"max-drift-mb", "Allowed growth of resident memory after warm-up (default 20).", "MB",
         "20"},
        {"max-lateness-ms", "Allowed lateness of the event loop (default 2000).", "ms", "2000"},
        {"min-rate-fraction",
         "Part of the asked frame rate that must arrive (default 0: not checked).", "f", "0"},
        {"seed", "Seed of the simulator (default 1).", "n", "1"},
        {"json", "Also write the figures to this file.", "file", ""},
        {"boardsim", "The simulator program.", "path", TAVRINO_BOARDSIM},
        {"no-run", "The board streams while no run is active: 开始 is never pressed.", "", ""},
        {"paused", "Start the run, then pause it with 暂停.", "", ""},
        {"frames", "Stream until the window received N frames; --seconds bounds the wait.", "N",
         "0"},
        {"hex-flood",
         "Stream B bytes per second onto the serial assistant tab, shown in hexadecimal (with "
         "--max-lateness-ms 200: no stall over 200 ms).",
         "B", "0"},
    };
    for (const auto &o : table)
        parser.addOption(QCommandLineOption(QString::fromUtf8(o[0]), QString::fromUtf8(o[1]),
                                            QString::fromUtf8(o[2]), QString::fromUtf8(o[3])));
    parser.process(app);

    bool ok = true;
    const auto number = [&parser, &ok](const char *name) {
        bool good = false;
        const double value = parser.value(QLatin1String(name)).toDouble(&good);
        if (!good || value < 0) {
            std::fprintf(stderr, "tavrino_soak: --%s wants a number of at least 0\n", name);
            ok = false;
        }
        return value;
    };
    const auto isSet = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    SoakRun::Options opts;
    opts.seconds = number("seconds");
    opts.rate = parser.value(QStringLiteral("rate"));
    opts.errorPeriod = quint64(number("error-rate"));
    opts.garbage = isSet("garbage");
    opts.stringMode = isSet("string-mode");
    opts.autoScroll = isSet("auto-scroll");
    opts.unplugEvery = number("unplug-every");
    opts.maxDriftMb = number("max-drift-mb");
    opts.maxLatenessMs = qint64(number("max-lateness-ms"));
    opts.minRateFraction = number("min-rate-fraction");
    opts.seed = unsigned(number("seed"));
    opts.jsonPath = parser.value(QStringLiteral("json"));
    opts.boardsim = parser.value(QStringLiteral("boardsim"));
    opts.noRun = isSet("no-run");
    opts.paused = isSet("paused");
    opts.frames = quint64(number("frames"));
    opts.hexFlood = number("hex-flood");
    return ok ? SoakRun(opts).run() : 2;
}
