#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What tavrino-step was asked to do, read from its command line. Every value is checked here,
// so a run starts only with options that make sense together.
struct StepOptions
{
    struct Gains
    {
        double p = 0;
        double i = 0;
        double d = 0;
    };

    QString port;
    qint32 baudRate = 115200;
    bool stringMode = false;
    int channel = 0; // 0..3
    std::optional<float> target;
    std::optional<Gains> gains;
    // How the board runs its PID, for the model: "seconds" or "samples", "measurement" or
    // "error", and the output limits when given.
    QString form = QStringLiteral("seconds");
    QString derivative = QStringLiteral("measurement");
    std::optional<double> outputMin;
    std::optional<double> outputMax;
    int durationMs = 10000;
    bool identify = false;
    QString suggest; // robust, balanced, fast; empty: none
    bool apply = false;
    QString csvPath;
    QString pngPath;
    bool json = false;
    std::optional<double> maxOvershootPercent;
    std::optional<double> maxSettlingMs;

    // The run writes to the board (gains, target, start and stop) only with a target.
    bool listenOnly() const { return !target.has_value(); }

    enum class Outcome { Run, Help, Version, Error };
    struct Parsed;
    // arguments[0] is the program's name.
    static Parsed parse(const QStringList &arguments);
};

struct StepOptions::Parsed
{
    Outcome outcome = Outcome::Error;
    StepOptions options;
    // The help text for Help, the reason for Error.
    QString text;
};
