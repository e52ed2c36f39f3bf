#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the modal dialogs a slot opens while the test waits inside a click: file dialogs
// (Qt's own) with queued paths, an empty path cancelling; message boxes by closing them;
// progress dialogs are left to run, or cancelled when asked.
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

    // `afterAccept` runs once the dialog has been accepted and before the slot goes on.
    void answerFileDialog(const QString &path, std::function<void()> afterAccept = {});

    bool cancelProgress = false;
    int fileDialogs = 0;
    QList<Box> boxes;
    QStringList problems; // anything the driver could not handle

private:
    struct Answer
    {
        QString path;
        std::function<void()> afterAccept;
    };
    void poll();

    QTimer timer;
    QList<Answer> answers;
};
