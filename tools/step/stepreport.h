#pragma once

#include "tools/step/stepresult.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// What tavrino-step prints and writes: the JSON object of docs/step-report.md, the short table
// for a person, and the samples as a recording.
class StepReport
{
public:
    // Every key always present, null where not asked for or not found.
    static QJsonObject json(const StepResult &result);
    static QString table(const StepResult &result);
    // time_ms,channel,actual,target rows of the first step's samples, then the applied step's,
    // its times following on from the first run's last sample.
    static QByteArray csv(const StepResult &result);
};
