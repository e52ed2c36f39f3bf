#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// The built board simulator, started for one test and killed if the test leaves it running.
class BoardSimProcess
{
public:
    BoardSimProcess(const QString &program, const QStringList &args);
    ~BoardSimProcess();
    BoardSimProcess(const BoardSimProcess &) = delete;
    BoardSimProcess &operator=(const BoardSimProcess &) = delete;

    // The first line of its output: the device to open.
    QString waitForPath();
    bool finished() const { return process.state() == QProcess::NotRunning; }
    void signal(int number);

    // The JSON exit report written with --report.
    static QJsonObject readReport(const QString &path);
    static qint64 number(const QJsonObject &report, const char *key);

    QProcess process;
};
