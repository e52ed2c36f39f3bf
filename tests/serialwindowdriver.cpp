#include "tests/serialwindowdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

SerialWindowDriver::SerialWindowDriver() : mainWindow(std::make_unique<MainWindow>())
{
    mainWindow->show();
    if (!QTest::qWaitForWindowExposed(mainWindow.get()))
        qWarning("main window not exposed");
}

void SerialWindowDriver::showTab(const char *tabName)
{
    auto *tabs = child<QTabWidget>("tabSwitch");
    const int index = tabs->indexOf(child<QWidget>(tabName));
    if (tabs->currentIndex() == index)
        return;
    QTabBar *bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void SerialWindowDriver::click(const char *buttonName)
{
    auto *button = child<QAbstractButton>(buttonName);
    // Check and radio boxes react only on their indicator and text, which start at the left.
    QPoint at = button->rect().center();
    if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button))
        at.setX(qMin(8, at.x()));
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

namespace {
// ASCII as key presses; everything else the way an input method commits it.
void typeCharacters(QWidget *widget, const QString &text)
{
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

void clearByKeys(QWidget *widget)
{
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_Delete);
}
} // namespace

void SerialWindowDriver::typeInto(const char *comboName, const QString &text)
{
    QLineEdit *edit = child<QComboBox>(comboName)->lineEdit();
    clearByKeys(edit);
    typeCharacters(edit, text);
}

void SerialWindowDriver::typeText(const char *editName, const QString &text)
{
    auto *edit = child<QTextEdit>(editName);
    clearByKeys(edit);
    typeCharacters(edit, text);
}

void SerialWindowDriver::choose(const char *comboName, const QString &item)
{
    auto *combo = child<QComboBox>(comboName);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != item; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

void SerialWindowDriver::openAssistant(const QString &suffix)
{
    showTab("tabUSART");
    typeInto("comboPort", terminal.slavePath() + suffix);
    click("buttonOpenport");
}

void SerialWindowDriver::openPid()
{
    showTab("tabPID");
    typeInto("comboPortPID", terminal.slavePath());
    click("buttonOpenportPID");
}
