#include "benchmarks/benchoptions.h"

#include <cstdio>

double BenchOptions::number(const char *name, double fallback) const
{
    const QString value = text(name);
    if (value.isNull())
        return fallback;
    bool ok = false;
    const double result = value.toDouble(&ok);
    if (!ok) {
        std::fprintf(stderr, "--%s needs a number, not \"%s\"; using %g\n", name, qPrintable(value),
                     fallback);
        return fallback;
    }
    return result;
}

bool BenchOptions::flag(const char *name) const
{
    return args.contains(QStringLiteral("--") + QString::fromLatin1(name));
}

QString BenchOptions::text(const char *name, const QString &fallback) const
{
    const int at = args.indexOf(QStringLiteral("--") + QString::fromLatin1(name));
    if (at < 0 || at + 1 >= args.size())
        return fallback;
    return args.at(at + 1);
}
