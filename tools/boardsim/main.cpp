// tavrino-boardsim: plays the controller board at the other end of the PID tab's serial line.

#include "pidlink/pidframe.h"
#include "tools/boardsim/boardline.h"
#include "tools/boardsim/boardrunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {
[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "tavrino-boardsim: %s\n", message.toLocal8Bit().constData());
    std::exit(1);
}

qint64 wholeNumber(const QCommandLineParser &parser, const QString &name, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 value = parser.value(name).toLongLong(&ok);
    if (!ok || value < min || value > max)
        fail(QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"")
                 .arg(name)
                 .arg(min)
                 .arg(max)
                 .arg(parser.value(name)));
    return value;
}
// --plant CH:GAIN,TAU_S,DEAD_S[,REST[,NOISE]]
void plantFrom(const QString &text, std::array<std::optional<Plant::Model>, 4> &plants)
{
    const auto bad = [&text](const QString &why) {
        fail(QStringLiteral("--plant \"%1\": %2; it wants CH:GAIN,TAU_S,DEAD_S[,REST[,NOISE]]")
                 .arg(text, why));
    };
    const int colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int channel = text.left(colon).trimmed().toInt(&ok);
    if (colon < 0 || !ok || channel < 1 || channel > 4)
        bad(QStringLiteral("the channel is 1 to 4"));
    const QStringList parts = text.mid(colon + 1).split(QLatin1Char(','));
    if (parts.size() < 3 || parts.size() > 5)
        bad(QStringLiteral("three to five numbers after the channel"));
    double v[5] = {0, 0, 0, 0, 0};
    for (int k = 0; k < parts.size(); ++k) {
        v[k] = parts[k].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[k]))
            bad(QStringLiteral("\"%1\" is not a number").arg(parts[k]));
    }
    if (v[0] == 0.0 || std::fabs(v[0]) > 1e6)
        bad(QStringLiteral("the gain is not 0 and at most 1e6 in size"));
    if (!(v[1] > 0.0) || v[1] > 1e5)
        bad(QStringLiteral("the time constant is above 0 and at most 1e5 s"));
    if (v[2] < 0.0 || v[2] > 1e3)
        bad(QStringLiteral("the dead time is 0 to 1000 s"));
    if (v[4] < 0.0)
        bad(QStringLiteral("the noise is not negative"));
    Plant::Model model;
    model.gain = v[0];
    model.timeConstant = v[1];
    model.deadTime = v[2];
    model.rest = v[3];
    // The channel's own noise unless given.
    model.noise =
        parts.size() == 5 ? v[4] : (channel <= 2 ? Plant::motor() : Plant::heater()).noise;
    plants[std::size_t(channel - 1)] = model;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrino-boardsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a four-channel PID controller board on a serial line: channels 1 and 2 drive "
        "motors, 3 and 4 heaters.\n"
        "Without --device it creates a pseudo-terminal and prints its path as the first line "
        "of standard output; open that path in the program's PID tab.\n"
        "It answers read requests for P, I, D, target and actual of the channel asked about, "
        "takes new values, and streams channel data frames (or, in string mode, text lines) "
        "while the program has it started.\n"
        "A report of what was sent goes to standard error on exit. Samples count one per "
        "channel data frame and four per text line."));
    parser.addHelpOption();
    parser.addVersionOption();

    const QCommandLineOption deviceOption(
        QStringLiteral("device"), QStringLiteral("Use the serial device <path> instead of a pty."),
        QStringLiteral("path"));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
                                        QStringLiteral("Baud rate for --device (default 115200)."),
                                        QStringLiteral("rate"), QStringLiteral("115200"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"),
        QStringLiteral("Samples per second per channel (default 100), or \"max\" for as fast "
                       "as the line takes them."),
        QStringLiteral("n|max"), QStringLiteral("100"));
    const QCommandLineOption stringOption(
        QStringLiteral("string-mode"),
        QStringLiteral("Send text lines a1,t1,a2,t2,a3,t3,a4,t4 instead of binary frames."));
    const QCommandLineOption autostartOption(
        QStringLiteral("autostart"),
        QStringLiteral("Stream from the start without waiting for the program's start command."));
    const QCommandLineOption sendReadOption(
        QStringLiteral("send-read"),
        QStringLiteral("Send the board's own read request for P, I, D, T (target) or A (actual); "
                       "may be given more than once."),
        QStringLiteral("P|I|D|T|A"));
    const QCommandLineOption sendStartOption(QStringLiteral("send-start"),
                                             QStringLiteral("Send the board's start command."));
    const QCommandLineOption sendStopOption(QStringLiteral("send-stop"),
                                            QStringLiteral("Send the board's stop command."));
    const QCommandLineOption sendDelayOption(
        QStringLiteral("send-delay"),
        QStringLiteral("Send the board's own requests and commands (reads, then start, then "
                       "stop) this many milliseconds after start-up (default 0)."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption errorOption(
        QStringLiteral("error-rate"),
        QStringLiteral("Corrupt one byte in every <R> bytes sent (default: none)."),
        QStringLiteral("R"));
    const QCommandLineOption framesOption(
        QStringLiteral("frames"),
        QStringLiteral("Exit once <N> sample frames (text lines in string mode) were sent."),
        QStringLiteral("N"));
    const QCommandLineOption reportOption(
        QStringLiteral("report"), QStringLiteral("Also write the exit report to <file> as JSON."),
        QStringLiteral("file"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"), QStringLiteral("Seed for noise and byte errors (default 1)."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption noiseOption(
        QStringLiteral("noise"),
        QStringLiteral("Scale of the measurement noise, 0 for none (default 1)."),
        QStringLiteral("scale"), QStringLiteral("1"));
    const QCommandLineOption avoidLineFeedOption(
        QStringLiteral("avoid-linefeed-values"),
        QStringLiteral("Move a measured value whose bytes hold 0x0A to the nearest one without, "
                       "for receivers that split frames at 0x0A instead of by length."));
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Play the raw capture <file> (docs/capture-format.md) onto the line with "
                       "its recorded timing, from the moment the program opens the line, instead "
                       "of simulating a board; commands received are not answered. Exits 0 once "
                       "all of it was taken, 3 if the program closed the line before, 4 if the "
                       "capture is damaged (its whole records before the damage are played; a "
                       "time beyond what a replay can count, some 142 years, is damage too). "
                       "Only a regular file is played."),
        QStringLiteral("file"));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("With --replay: play <X> times as fast as recorded (default 1), or "
                       "\"max\" for as fast as the line takes it."),
        QStringLiteral("X|max"), QStringLiteral("1"));
    const QCommandLineOption plantOption(
        QStringLiteral("plant"),
        QStringLiteral("Run channel CH (1-4) on a first-order-plus-dead-time plant: static gain, "
                       "time constant and dead time in seconds, optionally the value at rest "
                       "(default 0) and the noise's standard deviation (default the channel's own: "
                       "0.5 on 1 and 2, 0.15 on 3 and 4; scaled by --noise); may be given once per "
                       "channel. Default: motors on 1 and 2, "
                       "heaters on 3 and 4."),
        QStringLiteral("CH:GAIN,TAU_S,DEAD_S[,REST[,NOISE]]"));
    const QCommandLineOption formOption(
        QStringLiteral("form"),
        QStringLiteral("How the controllers count I and D: \"seconds\" (the default: integral "
                       "of error times seconds, derivative per second through a 0.02 s "
                       "low-pass) or \"samples\" (integral += I * error, D times the change "
                       "since the last sample)."),
        QStringLiteral("seconds|samples"), QStringLiteral("seconds"));
    const QCommandLineOption derivativeOption(
        QStringLiteral("derivative"),
        QStringLiteral("What the derivative acts on: \"measurement\" (the default, no kick "
                       "on a target step) or \"error\"."),
        QStringLiteral("measurement|error"), QStringLiteral("measurement"));
    const QCommandLineOption maxGapOption(
        QStringLiteral("max-gap"),
        QStringLiteral("With --replay: play a silence longer than <S> seconds (at the speed "
                       "played) as <S> seconds. Without it a silence longer than a minute is "
                       "announced on stderr as it starts."),
        QStringLiteral("S"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Log every command received to stderr."));
    parser.addOptions({deviceOption,     baudOption,     rateOption,          stringOption,
                       autostartOption,  sendReadOption, sendStartOption,     sendStopOption,
                       sendDelayOption,  errorOption,    framesOption,        reportOption,
                       seedOption,       noiseOption,    avoidLineFeedOption, replayOption,
                       speedOption,      maxGapOption,   plantOption,         formOption,
                       derivativeOption, verboseOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument \"%1\"; see --help")
                 .arg(parser.positionalArguments().constFirst()));

    BoardRunner::Options opts;
    opts.device = parser.value(deviceOption);
    opts.baud = int(wholeNumber(parser, QStringLiteral("baud"), 1, 4000000));
    if (!BoardLine::isSupportedBaud(opts.baud))
        fail(
            QStringLiteral("--baud %1 is not a rate a serial device can be set to").arg(opts.baud));

    const QString rate = parser.value(rateOption).trimmed();
    if (rate.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0) {
        opts.maxRate = true;
    } else {
        bool ok = false;
        opts.rate = rate.toDouble(&ok);
        if (!ok || !(opts.rate > 0.0) || opts.rate > 1e6)
            fail(QStringLiteral("--rate wants a number of samples per second above 0 (at most "
                                "1000000) or \"max\", not \"%1\"")
                     .arg(rate));
    }

    opts.stringMode = parser.isSet(stringOption);
    opts.autostart = parser.isSet(autostartOption);
    opts.avoidLineFeedValues = parser.isSet(avoidLineFeedOption);
    opts.verbose = parser.isSet(verboseOption);

    for (const QString &what : parser.values(sendReadOption)) {
        const QString key = what.trimmed().toUpper();
        if (key == QLatin1String("P"))
            opts.sendReads << CmdP;
        else if (key == QLatin1String("I"))
            opts.sendReads << CmdI;
        else if (key == QLatin1String("D"))
            opts.sendReads << CmdD;
        else if (key == QLatin1String("T"))
            opts.sendReads << CmdTarget;
        else if (key == QLatin1String("A"))
            opts.sendReads << CmdActual;
        else
            fail(QStringLiteral("--send-read wants P, I, D, T or A, not \"%1\"").arg(what));
    }
    opts.sendStart = parser.isSet(sendStartOption);
    opts.sendStop = parser.isSet(sendStopOption);
    opts.sendDelayMs = int(wholeNumber(parser, QStringLiteral("send-delay"), 0, 86400000));

    if (parser.isSet(errorOption))
        opts.errorPeriod = quint64(wholeNumber(parser, QStringLiteral("error-rate"), 1,
                                               std::numeric_limits<qint64>::max()));
    if (parser.isSet(framesOption))
        opts.frameLimit =
            wholeNumber(parser, QStringLiteral("frames"), 0, std::numeric_limits<qint64>::max());
    opts.reportPath = parser.value(reportOption);
    opts.seed = unsigned(wholeNumber(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFLL));

    bool noiseOk = false;
    opts.noiseScale = parser.value(noiseOption).toDouble(&noiseOk);
    if (!noiseOk || opts.noiseScale < 0.0 || opts.noiseScale > 1000.0)
        fail(QStringLiteral("--noise wants a scale from 0 to 1000, not \"%1\"")
                 .arg(parser.value(noiseOption)));

    for (const QString &text : parser.values(plantOption))
        plantFrom(text, opts.plants);
    const QString form = parser.value(formOption).trimmed().toLower();
    if (form != QLatin1String("seconds") && form != QLatin1String("samples"))
        fail(QStringLiteral("--form wants seconds or samples, not \"%1\"").arg(form));
    opts.perSampleForm = form == QLatin1String("samples");
    const QString derivative = parser.value(derivativeOption).trimmed().toLower();
    if (derivative != QLatin1String("measurement") && derivative != QLatin1String("error"))
        fail(QStringLiteral("--derivative wants measurement or error, not \"%1\"").arg(derivative));
    opts.derivativeOnError = derivative == QLatin1String("error");

    opts.replayPath = parser.value(replayOption);
    if (opts.replayPath.isEmpty()) {
        for (const QCommandLineOption &option : {speedOption, maxGapOption}) {
            if (parser.isSet(option))
                fail(QStringLiteral("--%1 goes with --replay").arg(option.names().constFirst()));
        }
    } else {
        // Options that make or change the simulated board's own bytes.
        for (const QCommandLineOption &option :
             {rateOption, stringOption, autostartOption, sendReadOption, sendStartOption,
              sendStopOption, framesOption, avoidLineFeedOption}) {
            if (parser.isSet(option))
                fail(QStringLiteral("--replay plays the capture alone; leave out --%1")
                         .arg(option.names().constFirst()));
        }
        const QString speed = parser.value(speedOption).trimmed();
        if (speed.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0) {
            opts.replaySpeed = 0.0;
        } else {
            bool ok = false;
            opts.replaySpeed = speed.toDouble(&ok);
            if (!ok || !(opts.replaySpeed >= 0.001) || opts.replaySpeed > 1e6)
                fail(QStringLiteral("--speed wants a factor from 0.001 to 1000000 or \"max\", "
                                    "not \"%1\"")
                         .arg(speed));
        }
        if (parser.isSet(maxGapOption)) {
            bool ok = false;
            const double seconds = parser.value(maxGapOption).trimmed().toDouble(&ok);
            if (!ok || !(seconds >= 0.000001) || seconds > 1e9)
                fail(QStringLiteral("--max-gap wants seconds from 0.000001 to 1000000000, not "
                                    "\"%1\"")
                         .arg(parser.value(maxGapOption)));
            opts.replayMaxGapUs = quint64(std::llround(seconds * 1e6));
        }
    }

    BoardRunner::installSignalHandlers();
    BoardRunner runner(opts);
    return runner.run();
}
