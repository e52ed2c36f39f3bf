#pragma once

#include <QString>

// Figures about this process and the machine, read the way the benchmarks report them.
class ProcessStats
{
public:
    // CPU time of the calling thread only (the GUI thread when called from it).
    static double threadCpuSeconds();
    // The part of it spent in the kernel (system calls, and the wake-ups they wait for).
    static double threadSystemSeconds();
    static double processCpuSeconds();
    // A clock shared by every process on the machine.
    static double monotonicSeconds();
    // Resident set size from /proc/self/statm.
    static qint64 residentBytes();
    static double residentMiB() { return residentBytes() / (1024.0 * 1024.0); }
    // "0.52 0.61 0.70" from /proc/loadavg.
    static QString loadAverage();
    static QString cpuModel();
    static int cores();
    // One line naming the machine and its load, printed at the head of every benchmark.
    static QString machineLine();
};
