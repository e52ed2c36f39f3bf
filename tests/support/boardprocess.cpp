#include "tests/support/boardprocess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>

#include <csignal>
#include <functional>

BoardProcess::BoardProcess(const QString &program, QObject *parent)
    : QObject(parent), programPath(program)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&process, &QProcess::readyReadStandardError, this,
            [this] { errors += QString::fromLocal8Bit(process.readAllStandardError()); });
}

BoardProcess::~BoardProcess()
{
    if (isRunning()) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool BoardProcess::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool BoardProcess::start(const QStringList &arguments, QString *error)
{
    reportPath = folder.filePath(QStringLiteral("report.json"));
    QFile::remove(reportPath);
    lastReport = QJsonObject();
    device.clear();
    errors.clear();
    process.start(programPath, arguments + QStringList{QStringLiteral("--report"), reportPath});
    if (!process.waitForStarted(10000)) {
        errors = QStringLiteral("cannot start %1: %2").arg(programPath, process.errorString());
    } else if (!waitFor([this] { return process.canReadLine() || !isRunning(); }, 10000) ||
               !process.canReadLine()) {
        errors = QStringLiteral("the simulator printed no device: %1").arg(errors);
    } else {
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return true;
    }
    if (error)
        *error = errors;
    return false;
}

bool BoardProcess::finish(int timeoutMs)
{
    if (isRunning())
        ::kill(pid_t(process.processId()), SIGTERM);
    return waitForExit(timeoutMs);
}

bool BoardProcess::waitForExit(int timeoutMs)
{
    if (!waitFor([this] { return !isRunning(); }, timeoutMs))
        return false;
    errors += QString::fromLocal8Bit(process.readAllStandardError());
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    lastReport = QJsonDocument::fromJson(file.readAll()).object();
    return !lastReport.isEmpty();
}

void BoardProcess::unplug()
{
    if (!isRunning())
        return;
    process.kill();
    process.waitForFinished(5000);
}
