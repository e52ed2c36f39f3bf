#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/types.h>

// The built board simulator (TAVRINO_BOARDSIM), started for one test with its exit report in a
// folder of its own, and killed if the test leaves it running.
class BoardSimProcess
{
public:
    explicit BoardSimProcess(const QStringList &args)
    {
        process.start(QStringLiteral(TAVRINO_BOARDSIM),
                      QStringList(args) << QStringLiteral("--report") << reportPath());
    }
    ~BoardSimProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    BoardSimProcess(const BoardSimProcess &) = delete;
    BoardSimProcess &operator=(const BoardSimProcess &) = delete;

    // The first line of its output: the device to open.
    QString waitForPath()
    {
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < 15000 && !finished())
            process.waitForReadyRead(100);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    bool finished() const { return process.state() == QProcess::NotRunning; }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }

    // The JSON report written on exit, and one number of it (-1 when missing).
    QJsonObject report() const
    {
        QFile file(reportPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }
    qint64 number(const char *key) const
    {
        return qint64(report().value(QLatin1String(key)).toDouble(-1));
    }

    QProcess process;

private:
    QString reportPath() const { return dir.filePath(QStringLiteral("report.json")); }

    QTemporaryDir dir;
};
