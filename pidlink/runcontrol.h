#pragma once

#include <QCoreApplication>
#include <QString>

// Who starts and stops the controller run, and what each event sends and says. The button
// toggles the run. The board's start command makes sure a run is active and its stop command
// that none is: a start while running, or a stop while stopped, changes nothing and sends
// nothing. Closing the port ends the run; nothing of the board is remembered beyond it, so a
// new board's first start command starts a run.
class RunControl
{
    Q_DECLARE_TR_FUNCTIONS(RunControl)

public:
    enum class Event { Button, BoardStart, BoardStop, PortClosed };
    enum class Frame { None, Start, Stop };

    struct Step
    {
        bool active = false; // a run is active afterwards
        Frame frame = Frame::None;
        QString status; // the status-bar message; null: leave the bar as it is
    };

    // The step for `event` while a run is or is not active.
    static Step decide(bool active, Event event);

    // Takes the step and keeps its outcome.
    Step handle(Event event);
    bool isActive() const { return running; }

private:
    bool running = false;
};
