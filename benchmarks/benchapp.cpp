#include "benchmarks/benchapp.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <cstdio>

namespace {

QtMessageHandler previous = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (previous)
        previous(type, context, message);
}

} // namespace

void quietPlatformWarnings()
{
    // A window keeps its run history in the data folder: a benchmark's is not the user's.
    QStandardPaths::setTestModeEnabled(true);
    previous = qInstallMessageHandler(filter);
}

bool runEventLoopUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void printFigure(const char *name, double value, const char *unit)
{
    std::printf("FIGURE %s %.6g %s\n", name, value, unit);
    std::fflush(stdout);
}
