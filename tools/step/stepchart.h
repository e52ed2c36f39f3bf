#pragma once

#include "tools/step/stepresult.h"

#include <QImage>
#include <QString>

// The step as a picture for a CI report: actual and target over milliseconds from the step,
// the applied step beside the first, the prediction dashed. Needs a QGuiApplication (the
// offscreen platform will do) for its texts.
class StepChart
{
public:
    static QImage render(const StepResult &result, const QSize &size = QSize(960, 540));
    // False with the reason in `error` when the file cannot be written.
    static bool save(const StepResult &result, const QString &path, QString *error);
};
