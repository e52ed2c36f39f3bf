#include "tests/support/boardsimprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

#include <csignal>
#include <sys/types.h>

BoardSimProcess::BoardSimProcess(const QString &program, const QStringList &args)
{
    process.setProgram(program);
    process.setArguments(args);
    process.start();
}

BoardSimProcess::~BoardSimProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QString BoardSimProcess::waitForPath()
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine() && clock.elapsed() < 15000 &&
           process.state() != QProcess::NotRunning)
        process.waitForReadyRead(100);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

void BoardSimProcess::signal(int number)
{
    ::kill(pid_t(process.processId()), number);
}

QJsonObject BoardSimProcess::readReport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

qint64 BoardSimProcess::number(const QJsonObject &report, const char *key)
{
    return qint64(report.value(QLatin1String(key)).toDouble(-1));
}
