#pragma once

#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "tests/support/pseudoterminal.h"

#include <QSerialPort>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include <memory>

// A fresh, shown main window driven the way a user would: clicks, typed text, tab changes,
// with its own pseudo-terminal as the peer or the board.
class WindowDriver
{
public:
    WindowDriver();

    MainWindow &window() { return *mainWindow; }
    PseudoTerminal &peer() { return terminal; }
    PID_Diagram *chart() const { return mainWindow->pidDiagram(); }
    bool portOpen() const { return mainWindow->serialPort()->isOpen(); }
    QString status() const { return mainWindow->statusBar()->currentMessage(); }

    template <typename T = QWidget> T *child(const char *name) const
    {
        T *found = mainWindow->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    void showTab(const char *tabName);
    void click(const char *buttonName);
    // Replaces the text of a line edit, text edit or editable box by typing.
    void typeInto(const char *name, const QString &text);

    // Types the device (the pseudo-terminal by default) into the tab's port box and opens it.
    void openAssistant(const QString &suffix = QString());
    void openPid(const QString &device = QString());

private:
    PseudoTerminal terminal;
    std::unique_ptr<MainWindow> mainWindow;
};
