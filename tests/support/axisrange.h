#pragma once

#include "base/qtcompat.h"

#include <QString>
#include <QtCharts/QValueAxis>

// An axis range as text, to two decimals: "(-0.5, 5.5)".
inline QString range(const QtCharts::QValueAxis *axis)
{
    const auto round = [](double v) { return QString::number(qRound64(v * 100) / 100.0); };
    return QStringLiteral("(%1, %2)").arg(round(axis->min()), round(axis->max()));
}
