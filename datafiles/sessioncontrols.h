#pragma once

#include <QObject>

class PID_Diagram;
class PidLink;
class PortController;
class QAbstractButton;
class QComboBox;
class QMenu;
class QStatusBar;
class QWidget;
class RecentFolders;
class SessionFiles;

// The PID tab's history length box and the session files' controls: the record button, the
// raw capture's action in the tools menu and the recording label in the status bar.
class SessionControls : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QComboBox *historyLength;
        QAbstractButton *record;
        QMenu *tools;
        QStatusBar *statusBar; // gets the recording label
        QWidget *window;       // the dialogs' parent
    };

    SessionControls(const Widgets &widgets, PID_Diagram *diagram, const PidLink *link,
                    const PortController *ports, RecentFolders *folders);

    SessionFiles *sessionFiles() const { return sessions; }

Q_SIGNALS:
    // For the status bar; the session files' own messages come from sessionFiles().
    void message(const QString &text);

private:
    SessionFiles *sessions = nullptr;
};
