#include "pidlink/parametertext.h"

#include <cmath>

std::optional<float> parameterValue(const QString &text)
{
    bool ok = false;
    const float value = text.toFloat(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
