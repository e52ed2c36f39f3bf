#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {
// Before the window exists: it keeps its run history in the data folder, which tests must
// never share with the user.
bool testPaths()
{
    QStandardPaths::setTestModeEnabled(true);
    return true;
}
} // namespace

WindowDriver::WindowDriver() : mainWindow((testPaths(), std::make_unique<MainWindow>()))
{
    mainWindow->resize(1200, 800);
    mainWindow->show();
    if (!QTest::qWaitForWindowExposed(mainWindow.get()))
        qWarning("main window not exposed");
}

void WindowDriver::showTab(const char *tabName)
{
    auto *tabs = child<QTabWidget>("tabSwitch");
    const int index = tabs->indexOf(child(tabName));
    if (tabs->currentIndex() != index)
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          tabs->tabBar()->tabRect(index).center());
}

void WindowDriver::click(const char *buttonName)
{
    QWidget *button = child(buttonName);
    // Check and radio boxes react only on their indicator and text, which start at the left.
    QPoint at = button->rect().center();
    if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button))
        at.setX(qMin(8, at.x()));
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

void WindowDriver::typeInto(const char *name, const QString &text)
{
    QWidget *widget = child(name);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        widget = combo->lineEdit();
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_Delete);
    // ASCII as key presses; everything else the way an input method commits it.
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
        } else if (ch.unicode() < 0x80) {
            QTest::keyClick(widget, ch.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(ch));
            QApplication::sendEvent(widget, &commit);
        }
    }
}

void WindowDriver::openAssistant(const QString &suffix)
{
    showTab("tabUSART");
    typeInto("comboPort", terminal.slavePath() + suffix);
    click("buttonOpenport");
}

void WindowDriver::openPid(const QString &device)
{
    showTab("tabPID");
    typeInto("comboPortPID", device.isEmpty() ? terminal.slavePath() : device);
    click("buttonOpenportPID");
}
