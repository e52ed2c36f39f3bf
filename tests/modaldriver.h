#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the modal dialogs a slot opens while the test waits inside a click: file dialogs
// with queued paths (an empty path cancels), message boxes by pressing their Cancel button.
class ModalDriver : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
    };

    ModalDriver();

    // The next file dialog gets `path`; `afterAccept` runs once the dialog has been accepted
    // and before the slot goes on.
    void answerFileDialog(const QString &path, std::function<void()> afterAccept = {});

    int fileDialogsSeen() const { return fileDialogs; }
    QList<Box> boxesSeen() const { return boxes; }
    // Anything the driver could not handle, for the test to report.
    QStringList problems() const { return trouble; }

private:
    struct Answer
    {
        QString path;
        std::function<void()> afterAccept;
    };

    void poll();

    QTimer timer;
    QList<Answer> answers;
    QList<Box> boxes;
    QStringList trouble;
    int fileDialogs = 0;
};
