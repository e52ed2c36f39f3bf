// Start-up: milliseconds from spawning a process to its first shown window. The benchmark
// starts copies of itself: each builds the application and MainWindow as main() does, shows
// it and reports the moment the window is exposed and the moment its first paint is done, on
// the machine-wide monotonic clock. For comparison, the same for an empty QMainWindow.
#include "app/displaysetup.h"
#include "app/mainwindow.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/processstats.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

// Outside any namespace: the macro declares the resource's init function where it stands.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// Reports the first expose of a window, then the end of the paint it starts, and quits.
class FirstShowProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && exposedAt == 0) {
            exposedAt = ProcessStats::monotonicSeconds();
            // Runs once the expose, and the paint it triggers, has been handled.
            QTimer::singleShot(0, [this] {
                std::printf("%.6f %.6f\n", exposedAt, ProcessStats::monotonicSeconds());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double exposedAt = 0;
};

int child(int argc, char *argv[], bool empty)
{
    initResources();
    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);
    std::unique_ptr<QMainWindow> window;
    if (empty)
        window = std::make_unique<QMainWindow>();
    else
        window = std::make_unique<MainWindow>();
    FirstShowProbe probe;
    window->winId(); // the native window exists before show, so its expose can be watched
    window->windowHandle()->installEventFilter(&probe);
    if (empty)
        window->show();
    else
        DisplaySetup::showFitted(*window);
    return app.exec();
}

struct Sample
{
    double exposedMs = 0;
    double paintedMs = 0;
};

bool spawn(const QString &mode, Sample &sample)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const double started = ProcessStats::monotonicSeconds();
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode});
    if (!process.waitForFinished(30000))
        return false;
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2)
        return false;
    sample.exposedMs = (fields.at(0).toDouble() - started) * 1000;
    sample.paintedMs = (fields.at(1).toDouble() - started) * 1000;
    return true;
}

struct Summary
{
    Sample first;
    Sample median;
    Sample worst;
    int failures = 0;
};

Summary measure(const QString &mode, int runs)
{
    Summary summary;
    std::vector<double> exposed;
    std::vector<double> painted;
    for (int r = 0; r < runs; ++r) {
        Sample s;
        if (!spawn(mode, s)) {
            ++summary.failures;
            continue;
        }
        if (exposed.empty())
            summary.first = s;
        exposed.push_back(s.exposedMs);
        painted.push_back(s.paintedMs);
    }
    if (exposed.empty())
        return summary;
    std::sort(exposed.begin(), exposed.end());
    std::sort(painted.begin(), painted.end());
    summary.median = {exposed[exposed.size() / 2], painted[painted.size() / 2]};
    summary.worst = {exposed.back(), painted.back()};
    return summary;
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--child") == 0)
            return child(argc, argv, qstrcmp(argv[i + 1], "empty") == 0);
    }

    QCoreApplication app(argc, argv);
    const BenchOptions options(QCoreApplication::arguments());
    const int runs = std::max(1, int(options.number("runs", 11)));
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));
    std::printf("start-up, %d spawns each, %s platform\n", runs,
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))));

    const Summary ours = measure(QStringLiteral("window"), runs);
    const Summary empty = measure(QStringLiteral("empty"), runs);
    std::printf("%-24s %12s %12s %12s %12s\n", "", "first ms", "median ms", "worst ms",
                "failed runs");
    const auto row = [](const char *name, const Summary &s, bool paintedToo) {
        std::printf("%-24s %12.1f %12.1f %12.1f %12d\n", name, s.first.exposedMs,
                    s.median.exposedMs, s.worst.exposedMs, s.failures);
        if (paintedToo)
            std::printf("%-24s %12.1f %12.1f %12.1f\n", "  first paint done", s.first.paintedMs,
                        s.median.paintedMs, s.worst.paintedMs);
    };
    row("MainWindow exposed", ours, true);
    row("empty QMainWindow", empty, true);
    std::printf("measured from just before the spawn to the window's first expose and to the end "
                "of its first paint\n");
    std::printf("target: within 300 ms\n");
    printFigure("startup_first_paint_ms", ours.median.paintedMs, "ms");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
