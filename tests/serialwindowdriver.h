#pragma once

#include "app/mainwindow.h"
#include "tests/support/pseudoterminal.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QString>
#include <QTabWidget>

#include <memory>

class QAbstractButton;
class QWidget;

// Drives a fresh main window the way a user would: clicks, typed text, tab changes. Each test
// case makes its own window and its own pseudo-terminal.
class SerialWindowDriver
{
public:
    SerialWindowDriver();

    MainWindow &window() { return *mainWindow; }
    PseudoTerminal &peer() { return terminal; }

    template <typename T> T *child(const char *name)
    {
        T *found = mainWindow->findChild<T *>(QLatin1String(name));
        Q_ASSERT_X(found, "SerialWindowDriver::child", name);
        return found;
    }

    QString status() const { return mainWindow->statusBar()->currentMessage(); }

    void showTab(const char *tabName);
    void click(const char *buttonName);
    // Replaces the text of an editable box by typing.
    void typeInto(const char *comboName, const QString &text);
    void typeText(const char *editName, const QString &text);
    // Chooses an item of a non-editable box by typing its first character.
    void choose(const char *comboName, const QString &item);

    // Types the pseudo-terminal into the tab's port box and clicks its open button.
    void openAssistant(const QString &suffix = QString());
    void openPid();

private:
    PseudoTerminal terminal;
    std::unique_ptr<MainWindow> mainWindow;
};
