#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class BoardProcess;
class LoopProbe;
class WindowDriver;

// The program's window on the offscreen platform fed by the board simulator for a long time:
// the port is opened and the run started through the widgets, memory and event-loop lateness
// are watched, and at the end the simulator's exact counts are held against what the window
// received (the link-health label) and plotted (the chart).
class SoakRun : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString boardsim;
        double seconds = 600;
        QString rate = QStringLiteral("5000"); // samples per second per channel, or "max"
        quint64 errorPeriod = 100000;          // one corrupted byte in this many; 0 for none
        bool garbage = false;                  // every byte corrupted, as fast as the line goes
        bool stringMode = false;
        bool autoScroll = false;
        double unplugEvery = 0; // seconds between pulling the adapter and plugging a new one in
        double maxDriftMb = 20;
        qint64 maxLatenessMs = 2000;
        double minRateFraction = 0; // of the asked frame rate that must arrive; 0: not checked
        unsigned seed = 1;
        QString jsonPath;
        // The board streams while no run is active: the port is opened, 开始 never pressed.
        bool noRun = false;
        // The run is started and then paused with 暂停.
        bool paused = false;
        // Stream until the window has received this many frames (0: for `seconds`, which
        // then only bounds the wait).
        quint64 frames = 0;
        // Bytes per second onto the serial assistant tab, shown in hexadecimal (0: the PID tab).
        double hexFlood = 0;
    };

    explicit SoakRun(const Options &options);
    ~SoakRun() override;

    // 0 when every check passed, 1 when one failed, 2 when the run could not be set up.
    int run();

private:
    bool openPort(QString *error);
    quint64 framesReceived() const;
    int receiveBoxCharacters() const;
    QString buttonText(const char *name) const;
    void pump(int ms);
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    bool plugIn(QString *error);
    bool pullOut();
    bool finishBoard();
    void sampleMemory(double elapsed);
    void check(bool ok, const QString &what);
    void evaluate();
    QJsonObject figures() const;

    Options opts;
    std::unique_ptr<WindowDriver> d;
    std::unique_ptr<BoardProcess> board;
    std::unique_ptr<LoopProbe> probe;

    double warmUpSeconds = 0;
    qint64 rssBaseline = -1;
    qint64 rssPeak = 0;
    qint64 rssEnd = 0;
    qint64 heapBaseline = 0;
    qint64 heapPeak = 0;
    qint64 heapEnd = 0;
    double elapsedSeconds = 0;
    double streamSeconds = 0; // of the last session, start click to stop click
    int sessions = 0;
    int sessionsWithoutSamples = 0;
    int runRestarts = 0; // the run stopped by a command the line made up, started again
    quint64 plottedAtSessionStart = 0;
    quint64 plottedInSession = 0;
    int mostBoxCharacters = 0;
    QString healthText;
    QJsonObject report;
    QStringList failures;
    QJsonObject results;
};
