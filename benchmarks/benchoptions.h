#pragma once

#include <QStringList>

// "--name value" options of a benchmark, e.g. --seconds 2 for a quick run.
class BenchOptions
{
public:
    explicit BenchOptions(const QStringList &arguments) : args(arguments) {}

    double number(const char *name, double fallback) const;
    bool flag(const char *name) const;
    QString text(const char *name, const QString &fallback = QString()) const;

private:
    QStringList args;
};
