#pragma once

#include <QLabel>
#include <QTimer>

class PidLink;

// The PID link's counters in the status bar while the PID tab holds the port: frames, bytes
// dropped and resynchronisations, or in string mode lines, malformed lines and characters
// dropped.
class LinkHealthLabel : public QLabel
{
    Q_OBJECT

public:
    // Often enough to watch a noisy line, rarely enough to cost nothing at full frame rate.
    static constexpr int IntervalMs = 250;

    explicit LinkHealthLabel(const PidLink *link, QWidget *parent = nullptr);

    // Shown and kept up to date, or hidden.
    void setWatching(bool on);
    void refresh();

private:
    const PidLink *link;
    QTimer timer;
};
