#include "tools/step/stepoptions.h"

#include "serial/portsettings.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>

namespace {
QCommandLineOption valueOption(const char *name, const char *help, const char *valueName)
{
    return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                              QString::fromLatin1(valueName));
}

// A finite number, or nothing with the reason in `error`.
std::optional<double> number(const QString &option, const QString &text, QString *error)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (ok && std::isfinite(value))
        return value;
    *error = QStringLiteral("--%1 wants a number, not \"%2\"").arg(option, text);
    return std::nullopt;
}

// Comma-separated finite numbers, exactly `count` of them.
std::optional<QVector<double>> numbers(const QString &option, const QString &text, int count,
                                       const char *shape, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    QVector<double> values;
    for (const QString &part : parts) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            break;
        values << value;
    }
    if (parts.size() == count && values.size() == count)
        return values;
    *error = QStringLiteral("--%1 wants %2, not \"%3\"").arg(option, QLatin1String(shape), text);
    return std::nullopt;
}

bool oneOf(const QString &option, const QString &value, const QStringList &choices, QString *error)
{
    if (choices.contains(value))
        return true;
    *error = QStringLiteral("--%1 takes %2, not \"%3\"")
                 .arg(option, choices.join(QLatin1String(", ")), value);
    return false;
}
} // namespace

StepOptions::Parsed StepOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs one step response of a PID channel on a controller board (or the simulated one) "
        "and reports its figures: rise, peak, overshoot, settling, steady-state error; with "
        "--identify the plant's model, with --suggest gains for it, with --apply those gains "
        "tried on the board.\n"
        "Without --target nothing is sent to the board: it listens and reports a step the "
        "board makes itself.\n"
        "Exit status: 0 done and within the limits given, 2 a --max-* limit exceeded, "
        "1 an error (the reason goes to standard error)."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this summary and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit."));
    const QCommandLineOption port =
        valueOption("port", "The board's serial device, e.g. /dev/ttyUSB0 (required).", "device");
    const QCommandLineOption baud =
        valueOption("baud", "Baud rate (default 115200), 8 data bits, no parity, 1 stop bit.", "N");
    const QCommandLineOption stringMode(
        QStringLiteral("string-mode"),
        QStringLiteral("The board sends text lines a1,t1,...,a4,t4 instead of binary frames."));
    const QCommandLineOption channel =
        valueOption("channel", "The channel, 1 to 4 (required).", "1-4");
    const QCommandLineOption target =
        valueOption("target", "Write this target, start the board and measure the step.", "T");
    const QCommandLineOption gains = valueOption(
        "gains", "Write P, I and D first; each must read back within a second.", "P,I,D");
    const QCommandLineOption form =
        valueOption("form",
                    "How the board runs its integral and derivative: per second (default) or per "
                    "sample.",
                    "seconds|samples");
    const QCommandLineOption derivative = valueOption(
        "derivative", "The board's derivative acts on the measurement (default) or the error.",
        "measurement|error");
    const QCommandLineOption limits =
        valueOption("limits", "The board's controller output limits.", "MIN,MAX");
    const QCommandLineOption duration = valueOption(
        "duration", "Give up waiting for the step to settle after S seconds (default 10).", "S");
    const QCommandLineOption identify(
        QStringLiteral("identify"),
        QStringLiteral("Fit a first-order-plus-dead-time model of the plant to the step."));
    const QCommandLineOption suggest = valueOption(
        "suggest", "Suggest gains for the model (implies --identify).", "robust|balanced|fast");
    const QCommandLineOption apply(
        QStringLiteral("apply"),
        QStringLiteral("Write the suggested gains, run the step again and report it beside the "
                       "prediction (needs --suggest and --target)."));
    const QCommandLineOption csv = valueOption(
        "csv", "Write the samples as a recording: time_ms,channel,actual,target.", "FILE");
    const QCommandLineOption png =
        valueOption("png", "Draw the step (and the prediction) into a PNG image.", "FILE");
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the report as one JSON object."));
    const QCommandLineOption maxOvershoot =
        valueOption("max-overshoot", "Exit with 2 when the overshoot exceeds PCT percent.", "PCT");
    const QCommandLineOption maxSettling = valueOption(
        "max-settling-ms",
        "Exit with 2 when the step settles later than MS milliseconds, or never.", "MS");
    parser.addOptions({help,  version, port,       baud,   stringMode,   channel,    target,
                       gains, form,    derivative, limits, duration,     identify,   suggest,
                       apply, csv,     png,        json,   maxOvershoot, maxSettling});

    Parsed result;
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.outcome = Outcome::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = Outcome::Version;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.text = QStringLiteral("unexpected argument \"%1\"; see --help")
                          .arg(parser.positionalArguments().constFirst());
        return result;
    }

    StepOptions &o = result.options;
    QString &error = result.text;
    o.port = parser.value(port).trimmed();
    if (o.port.isEmpty()) {
        error = QStringLiteral("--port is required: the board's serial device");
        return result;
    }
    if (parser.isSet(baud)) {
        QString problem;
        o.baudRate = PortSettings::parseBaudRate(parser.value(baud), &problem);
        if (o.baudRate == 0) {
            error = QStringLiteral("--baud: %1").arg(problem);
            return result;
        }
    }
    o.stringMode = parser.isSet(stringMode);

    bool ok = false;
    const int ch = parser.value(channel).trimmed().toInt(&ok);
    if (!parser.isSet(channel) || !ok || ch < 1 || ch > 4) {
        error =
            QStringLiteral("--channel wants 1, 2, 3 or 4, not \"%1\"").arg(parser.value(channel));
        return result;
    }
    o.channel = ch - 1;

    if (parser.isSet(target)) {
        const auto t = number(QStringLiteral("target"), parser.value(target), &error);
        if (!t)
            return result;
        if (std::abs(*t) > double(std::numeric_limits<float>::max())) {
            error = QStringLiteral("--target %1 does not fit the frame's number").arg(*t);
            return result;
        }
        o.target = float(*t);
    }
    if (parser.isSet(gains)) {
        const auto g =
            numbers(QStringLiteral("gains"), parser.value(gains), 3, "three numbers P,I,D", &error);
        if (!g)
            return result;
        o.gains = Gains{(*g)[0], (*g)[1], (*g)[2]};
    }
    if (parser.isSet(form)) {
        o.form = parser.value(form).trimmed();
        if (!oneOf(QStringLiteral("form"), o.form,
                   {QStringLiteral("seconds"), QStringLiteral("samples")}, &error))
            return result;
    }
    if (parser.isSet(derivative)) {
        o.derivative = parser.value(derivative).trimmed();
        if (!oneOf(QStringLiteral("derivative"), o.derivative,
                   {QStringLiteral("measurement"), QStringLiteral("error")}, &error))
            return result;
    }
    if (parser.isSet(limits)) {
        const auto l = numbers(QStringLiteral("limits"), parser.value(limits), 2,
                               "two numbers MIN,MAX", &error);
        if (!l)
            return result;
        if (!((*l)[0] < (*l)[1])) {
            error = QStringLiteral("--limits wants MIN below MAX, not \"%1\"")
                        .arg(parser.value(limits));
            return result;
        }
        o.outputMin = (*l)[0];
        o.outputMax = (*l)[1];
    }
    if (parser.isSet(duration)) {
        const auto s = number(QStringLiteral("duration"), parser.value(duration), &error);
        if (!s)
            return result;
        if (!(*s > 0) || *s > 86400) {
            error = QStringLiteral("--duration wants seconds above 0 (at most 86400), not \"%1\"")
                        .arg(parser.value(duration));
            return result;
        }
        o.durationMs = int(std::ceil(*s * 1000));
    }
    o.identify = parser.isSet(identify);
    if (parser.isSet(suggest)) {
        o.suggest = parser.value(suggest).trimmed();
        if (!oneOf(QStringLiteral("suggest"), o.suggest,
                   {QStringLiteral("robust"), QStringLiteral("balanced"), QStringLiteral("fast")},
                   &error))
            return result;
        o.identify = true;
    }
    o.apply = parser.isSet(apply);
    o.csvPath = parser.value(csv);
    o.pngPath = parser.value(png);
    o.json = parser.isSet(json);
    if ((parser.isSet(csv) && o.csvPath.isEmpty()) || (parser.isSet(png) && o.pngPath.isEmpty())) {
        error = QStringLiteral("--csv and --png want a file name");
        return result;
    }
    if (parser.isSet(maxOvershoot)) {
        const auto v = number(QStringLiteral("max-overshoot"), parser.value(maxOvershoot), &error);
        if (!v)
            return result;
        if (*v < 0) {
            error = QStringLiteral("--max-overshoot wants a percentage of 0 or more");
            return result;
        }
        o.maxOvershootPercent = *v;
    }
    if (parser.isSet(maxSettling)) {
        const auto v = number(QStringLiteral("max-settling-ms"), parser.value(maxSettling), &error);
        if (!v)
            return result;
        if (*v < 0) {
            error = QStringLiteral("--max-settling-ms wants milliseconds, 0 or more");
            return result;
        }
        o.maxSettlingMs = *v;
    }

    // What only a step the tool makes can do.
    if (o.listenOnly()) {
        const char *needsTarget = o.gains      ? "--gains"
                                  : o.apply    ? "--apply"
                                  : o.identify ? (o.suggest.isEmpty() ? "--identify" : "--suggest")
                                               : nullptr;
        if (needsTarget) {
            error = QStringLiteral("%1 needs --target: without it nothing is sent to the board, "
                                   "so the gains in force are unknown")
                        .arg(QLatin1String(needsTarget));
            return result;
        }
    }
    // Text lines carry samples only: the board's answers to reads are not understood there.
    if (o.stringMode && (o.gains || o.identify)) {
        error = QStringLiteral("%1 reads the gains back from the board, which --string-mode "
                               "cannot: leave it out")
                    .arg(QLatin1String(o.gains ? "--gains" : "--identify"));
        return result;
    }
    if (o.apply && o.suggest.isEmpty()) {
        error = QStringLiteral("--apply needs --suggest: which suggestion to write");
        return result;
    }
    result.outcome = Outcome::Run;
    return result;
}
