// The whole program as a user runs it: `tavrino --no-settings --port <pty> --run` started as a
// child process, a writer thread playing the board on the pseudo-terminal's other side with
// four channels of channel data frames at steady rates. Per rate, after a warm-up: the child's
// CPU over the step from /proc/<pid>/stat (user and system time of every thread, so the GUI
// thread, Qt's threads and the serial reads all count), its resident memory (VmRSS), and
// whether it kept up: the writer kept its schedule, never waited long for room in the pty, and
// the line was empty soon after the step. Runs on the platform it is given, which the child
// inherits: offscreen, or an X display (Xvfb), where the window's paints reach an X server.
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/pacedwriter.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"
#include "pidlink/pidframe.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// Kept up: at least this much of the schedule written, no wait for room longer than this, and
// the line empty within this long of the step's end.
constexpr double MinSentFraction = 0.99;
constexpr qint64 MaxStallMs = 100;
constexpr int MaxDrainMs = 1000;

QByteArray readProc(qint64 pid, const char *file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return f.readAll();
}

// User and system time of every thread of `pid`, in seconds; negative once it is gone.
double childCpuSeconds(qint64 pid)
{
    const QByteArray stat = readProc(pid, "stat");
    // The command name may hold spaces; the fields after it are plain numbers.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Fields 14 and 15 of the whole line: utime and stime, in clock ticks.
    if (fields.size() < 13)
        return -1;
    const double ticks = double(fields.at(11).toLongLong() + fields.at(12).toLongLong());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// A "Name:   value kB" line of /proc/<pid>/status, as a number.
qint64 statusValue(qint64 pid, const QByteArray &name)
{
    const QList<QByteArray> lines = readProc(pid, "status").split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

double childResidentMiB(qint64 pid)
{
    return double(statusValue(pid, "VmRSS")) / 1024.0;
}

struct Step
{
    double rate = 0; // frames a second
    double seconds = 0;
    double cpuPercent = 0;
    double sliceMin = 0;
    double sliceMax = 0;
    double rssMiB = 0;
    qint64 threads = 0;
    qint64 scheduled = 0;
    qint64 sent = 0;
    qint64 longestFullMs = 0;
    int maxBacklog = 0; // bytes on the line, sampled every 100 ms
    int drainMs = -1;   // how long the line took to empty after the step; -1 never
    bool keptUp = false;
};

class Child
{
public:
    bool start(const QString &program, const QStringList &arguments, PacedWriter &writer)
    {
        // The child's run history goes to a folder of its own, not the user's.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        // The offscreen platform's chatter, as in the tests.
        if (!env.contains(QStringLiteral("QT_LOGGING_RULES")))
            env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        if (!process.waitForStarted(10000)) {
            std::printf("cannot start %s: %s\n", qPrintable(program),
                        qPrintable(process.errorString()));
            return false;
        }
        // Running means the board end saw the start frame.
        const QByteArray startFrame = QByteArray::fromHex("4307000000000000000a");
        QByteArray seen;
        const double until = ProcessStats::monotonicSeconds() + 30;
        while (!seen.contains(startFrame) && ProcessStats::monotonicSeconds() < until) {
            seen += writer.readReply(50);
            QCoreApplication::processEvents();
            if (process.state() != QProcess::Running) {
                std::printf("the program ended with status %d before it ran\n", process.exitCode());
                return false;
            }
        }
        if (!seen.contains(startFrame)) {
            std::printf("no start frame from the program within 30 s\n");
            return false;
        }
        return true;
    }

    ~Child()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    qint64 pid() const { return process.processId(); }
    bool running() const { return process.state() == QProcess::Running; }

private:
    QTemporaryDir dataHome;
    QProcess process;
};

// The child's CPU in % of one core over `ms` of the writer's step.
double cpuOver(qint64 pid, int ms)
{
    const double cpu = childCpuSeconds(pid);
    const double wall = ProcessStats::monotonicSeconds();
    runEventLoopFor(ms);
    return 100.0 * (childCpuSeconds(pid) - cpu) / (ProcessStats::monotonicSeconds() - wall);
}

// `burst`: frames per unit of the writer, written together.
Step runStep(PacedWriter &writer, int burst, qint64 pid, double rate, double warmup, double seconds,
             int slices)
{
    Step step;
    step.rate = rate;
    step.seconds = seconds;
    double rss = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        rss = std::max(rss, childResidentMiB(pid));
        step.maxBacklog = std::max(step.maxBacklog, writer.waitingOnLine());
    });
    writer.start(rate / burst);
    runEventLoopFor(int(warmup * 1000));
    watch.start(100);
    const double cpu = childCpuSeconds(pid);
    const double wall = ProcessStats::monotonicSeconds();
    std::vector<double> parts;
    for (int i = 0; i < slices; ++i)
        parts.push_back(cpuOver(pid, int(seconds * 1000 / slices)));
    step.cpuPercent =
        100.0 * (childCpuSeconds(pid) - cpu) / (ProcessStats::monotonicSeconds() - wall);
    watch.stop();
    writer.stop();
    step.sliceMin = *std::min_element(parts.begin(), parts.end());
    step.sliceMax = *std::max_element(parts.begin(), parts.end());
    step.rssMiB = std::max(rss, childResidentMiB(pid));
    step.threads = statusValue(pid, "Threads");
    step.scheduled = qint64(rate * writer.runSeconds());
    step.sent = writer.unitsWritten() * burst;
    step.longestFullMs = writer.longestFullMilliseconds();
    const double stopped = ProcessStats::monotonicSeconds();
    runEventLoopUntil([&] { return writer.waitingOnLine() == 0; }, 5000);
    if (writer.waitingOnLine() == 0)
        step.drainMs = int(1000 * (ProcessStats::monotonicSeconds() - stopped));
    step.keptUp = !writer.failed() && step.sent >= MinSentFraction * step.scheduled &&
                  step.longestFullMs <= MaxStallMs && step.drainMs >= 0 &&
                  step.drainMs <= MaxDrainMs;
    return step;
}

std::vector<double> parseRates(const QString &text)
{
    std::vector<double> rates;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double rate = part.trimmed().toDouble(&ok);
        if (ok && rate > 0)
            rates.push_back(rate);
    }
    return rates;
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QCoreApplication app(argc, argv);
    const BenchOptions options(QCoreApplication::arguments());
    // 1,152 frames/s: four channels at 288 samples/s, actual and target (2,304 values/s);
    // 243,200 frames/s: 486,400 values/s.
    const std::vector<double> rates =
        parseRates(options.text("rates", QStringLiteral("1152,243200")));
    const double seconds = std::max(1.0, options.number("seconds", 30));
    const double warmup = std::max(0.0, options.number("warmup", 5));
    const double idleSeconds = std::max(0.0, options.number("idle-seconds", 5));
    const int slices = std::max(1, int(options.number("slices", 3)));
    // A board's loop sends one frame of each channel per sample period, together; the writer
    // writes whole periods as they fall due (at most one write a millisecond). --burst 1: a
    // frame at a time, as bench_ingest writes, so at most a write each millisecond whatever
    // the rate.
    const int burst = std::max(1, int(options.number("burst", ChannelCount)));
    const QString program = options.text("program", QStringLiteral(TAVRINO_PROGRAM));
    // The size of the windows in the side-by-side measurement; only an X display honours it,
    // the offscreen screen (800 x 600) gets the window maximized.
    const QString geometry = options.text("geometry", QStringLiteral("1261x734"));

    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"));
    std::printf("whole process: %s --no-settings --port <pty> --run -qwindowgeometry %s, "
                "platform %s; %d frames a write; %.0f s warm-up, %.0f s measured per rate in %d "
                "slices; CPU = utime + stime of every thread, in %% of one core\n",
                qPrintable(program), qPrintable(geometry), qPrintable(platform), burst, warmup,
                seconds, slices);
    std::fflush(stdout);

    PacedWriter writer(FrameSize * burst, [burst](QByteArray &out, qint64 first, qint64 count) {
        appendChannelFrames(out, first * burst, count * burst);
    });
    QString error;
    if (!writer.open(&error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    Child child;
    const double launched = ProcessStats::monotonicSeconds();
    if (!child.start(program,
                     {QStringLiteral("--no-settings"), QStringLiteral("--port"), writer.slavePath(),
                      QStringLiteral("--run"), QStringLiteral("-qwindowgeometry"), geometry},
                     writer))
        return 1;
    const qint64 pid = child.pid();
    std::printf("running: pid %lld, start frame after %.2f s\n", static_cast<long long>(pid),
                ProcessStats::monotonicSeconds() - launched);
    runEventLoopFor(1000); // the window shown and its first paints done
    if (idleSeconds > 0)
        std::printf("run active, nothing arriving: %.2f %% CPU, %.1f MiB\n",
                    cpuOver(pid, int(idleSeconds * 1000)), childResidentMiB(pid));

    std::printf("%10s %9s %7s %15s %8s %7s %10s %10s %8s %9s %8s %s\n", "frames/s", "values/s",
                "CPU %", "slices %", "RSS MiB", "threads", "scheduled", "sent", "stall ms",
                "backlog B", "drain ms", "kept up");
    std::vector<Step> steps;
    for (double rate : rates) {
        const Step s = runStep(writer, burst, pid, rate, warmup, seconds, slices);
        steps.push_back(s);
        std::printf("%10.0f %9.0f %7.2f %7.2f - %5.2f %8.1f %7lld %10lld %10lld %8lld %9d %8d %s\n",
                    s.rate, 2 * s.rate, s.cpuPercent, s.sliceMin, s.sliceMax, s.rssMiB,
                    static_cast<long long>(s.threads), static_cast<long long>(s.scheduled),
                    static_cast<long long>(s.sent), static_cast<long long>(s.longestFullMs),
                    s.maxBacklog, s.drainMs, s.keptUp ? "yes" : "NO");
        std::fflush(stdout);
        if (!child.running()) {
            std::printf("the program ended during the step\n");
            return 1;
        }
    }

    std::printf("kept up = the writer wrote %.0f %% of its schedule or more, never waited over "
                "%lld ms for room, and the line was empty within %d ms of the step's end\n",
                100 * MinSentFraction, static_cast<long long>(MaxStallMs), MaxDrainMs);
    std::printf("targets: at most 4 %% of a core at 2,304 values/s, 10 %% at 486,400 (Xvfb)\n");
    double rss = 0;
    for (const Step &s : steps) {
        const QByteArray name = "process_cpu_pct_" + QByteArray::number(2 * s.rate, 'f', 0);
        printFigure(name.constData(), s.cpuPercent, "%");
        rss = std::max(rss, s.rssMiB);
    }
    printFigure("process_rss_mib", rss, "MiB");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
