#include "benchmarks/processstats.h"

#include <QFile>
#include <QThread>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

double clockSeconds(clockid_t id)
{
    timespec ts{};
    clock_gettime(id, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QByteArray readProcFile(const char *path)
{
    QFile file(QString::fromLatin1(path));
    // /proc files report size 0, so read until the end rather than by size.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.readAll();
}

} // namespace

double ProcessStats::threadCpuSeconds()
{
    return clockSeconds(CLOCK_THREAD_CPUTIME_ID);
}

double ProcessStats::threadSystemSeconds()
{
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0)
        return 0;
    return double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

double ProcessStats::processCpuSeconds()
{
    return clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double ProcessStats::monotonicSeconds()
{
    return clockSeconds(CLOCK_MONOTONIC);
}

qint64 ProcessStats::residentBytes()
{
    const QList<QByteArray> fields = readProcFile("/proc/self/statm").split(' ');
    if (fields.size() < 2)
        return 0;
    return fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

QString ProcessStats::loadAverage()
{
    const QList<QByteArray> fields = readProcFile("/proc/loadavg").split(' ');
    if (fields.size() < 3)
        return QStringLiteral("?");
    return QString::fromLatin1(fields.at(0) + ' ' + fields.at(1) + ' ' + fields.at(2));
}

QString ProcessStats::cpuModel()
{
    const QList<QByteArray> lines = readProcFile("/proc/cpuinfo").split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("model name")) {
            const int colon = line.indexOf(':');
            return QString::fromLatin1(line.mid(colon + 1).trimmed());
        }
    }
    return QStringLiteral("unknown CPU");
}

int ProcessStats::cores()
{
    return QThread::idealThreadCount();
}

QString ProcessStats::machineLine()
{
    return QStringLiteral("machine: %1 cores, %2; load average %3")
        .arg(cores())
        .arg(cpuModel(), loadAverage());
}
