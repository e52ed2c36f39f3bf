#include "chart/axislabels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Beyond these the fixed-point labels run past eight characters.
constexpr double LargestFixed = 1e7;
constexpr double FinestFixedStep = 1e-5;

// A value as printf's integer conversions take it, without overflow.
qlonglong wholeNumber(double value)
{
    if (!(std::fabs(value) < 9.2e18))
        return std::isnan(value) ? 0
               : value < 0       ? std::numeric_limits<qlonglong>::min()
                                 : std::numeric_limits<qlonglong>::max();
    return qlonglong(value);
}

} // namespace

QString axisLabelFormat(double min, double max, int tickCount)
{
    const double step = (max - min) / std::max(1, tickCount - 1);
    const double magnitude = std::max(std::fabs(min), std::fabs(max));
    if (!std::isfinite(step) || !(step > 0.0) || !std::isfinite(magnitude) ||
        (magnitude < LargestFixed && step >= FinestFixedStep))
        return QString();
    // The digits from the largest value's first down to one below the step's, as the
    // fixed-point labels show one decimal more than the step needs.
    const int digits =
        int(std::floor(std::log10(magnitude))) - int(std::floor(std::log10(step))) + 2;
    return QStringLiteral("%.%1g").arg(std::clamp(digits, 2, 12));
}

QStringList axisTickLabels(double min, double max, int tickCount, const QString &format)
{
    QStringList labels;
    if (tickCount < 2)
        return labels;
    const double step = (max - min) / (tickCount - 1);
    const auto value = [&](int i) { return min + i * (max - min) / (tickCount - 1); };
    if (format.isEmpty()) {
        const int decimals = std::max(int(-std::floor(std::log10(step))), 0) + 1;
        for (int i = 0; i < tickCount; ++i)
            labels << QString::number(value(i), 'f', std::isfinite(step) ? decimals : 1);
        return labels;
    }
    // The first conversion, its length modifiers replaced by our own argument's.
    QString pattern;
    QChar kind;
    for (int at = format.indexOf(QLatin1Char('%')); at >= 0 && at < format.size();
         at = format.indexOf(QLatin1Char('%'), at + 1)) {
        int end = at + 1;
        while (end < format.size() && QStringLiteral("-+# 0123456789.'").contains(format.at(end)))
            ++end;
        const int flagsEnd = end;
        while (end < format.size() && QStringLiteral("lhjztL").contains(format.at(end)))
            ++end;
        if (end < format.size() && QStringLiteral("diuoxXfFeEgG").contains(format.at(end))) {
            // Any other '%' is text: printf gets exactly one argument.
            const auto text = [](QString part) {
                return part.replace(QLatin1Char('%'), QStringLiteral("%%"));
            };
            kind = format.at(end);
            pattern = text(format.left(at)) + format.mid(at, flagsEnd - at) +
                      (QStringLiteral("diuoxX").contains(kind) ? QStringLiteral("ll") : QString()) +
                      kind + text(format.mid(end + 1));
            break;
        }
    }
    const bool whole = QStringLiteral("diuoxX").contains(kind);
    const QByteArray printf = pattern.toUtf8();
    for (int i = 0; i < tickCount; ++i) {
        if (pattern.isEmpty())
            labels << QString();
        else if (whole)
            labels << QString::asprintf(printf.constData(), wholeNumber(value(i)));
        else
            labels << QString::asprintf(printf.constData(), value(i));
    }
    return labels;
}
