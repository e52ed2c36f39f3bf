#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// The board simulator as a child process: started with the caller's options on a pty it
// creates, finished politely (it then waits for the reader and writes its report) or killed,
// which closes the pty at once like an adapter pulled out. Waits keep the event loop running,
// so the window goes on reading meanwhile.
class BoardProcess : public QObject
{
    Q_OBJECT

public:
    explicit BoardProcess(const QString &program, QObject *parent = nullptr);
    ~BoardProcess() override;

    // Starts the simulator and waits for the pty path it prints first; why it did not start
    // goes to `error` and errorOutput().
    bool start(const QStringList &arguments, QString *error = nullptr);
    QString devicePath() const { return device; }
    bool isRunning() const { return process.state() != QProcess::NotRunning; }

    // SIGTERM, then waitForExit().
    bool finish(int timeoutMs);
    // Waits until the simulator has ended; true when it wrote its report, read then.
    bool waitForExit(int timeoutMs);
    // SIGKILL: no report, the pty's master side is gone at once.
    void unplug();

    QJsonObject report() const { return lastReport; }
    // One number of the report, -1 when it is missing.
    qint64 number(const char *key) const
    {
        return qint64(lastReport.value(QLatin1String(key)).toDouble(-1));
    }
    QString errorOutput() const { return errors; }
    int exitCode() const { return process.exitCode(); }
    bool exitedCleanly() const
    {
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private:
    bool waitFor(const std::function<bool()> &done, int timeoutMs);

    QString programPath;
    QProcess process;
    QTemporaryDir folder;
    QString reportPath;
    QString device;
    QString errors;
    QJsonObject lastReport;
};
