#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

// Event-loop lateness: a 1 ms precise timer on the thread that owns the probe; each firing
// records how much later than 1 ms after the previous one it came.
class LatenessProbe : public QObject
{
    Q_OBJECT

public:
    LatenessProbe();

    void start();
    void stop();

    int firings() const { return int(lateNanos.size()); }
    // Lateness in milliseconds at the quantile q (0.99 for p99) and the largest.
    double quantileMs(double q) const;
    double maxMs() const;

private:
    void fired();

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = -1;
    std::vector<qint64> lateNanos;
};
