#include "tests/modaldriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

ModalDriver::ModalDriver()
{
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
    timer.start();
}

void ModalDriver::answerFileDialog(const QString &path, std::function<void()> afterAccept)
{
    answers.append({path, std::move(afterAccept)});
}

void ModalDriver::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;

    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        ++fileDialogs;
        const Answer answer = answers.isEmpty() ? Answer{} : answers.takeFirst();
        if (answer.path.isEmpty()) {
            dialog->reject();
            return;
        }
        auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!nameEdit) {
            trouble << QStringLiteral("file dialog without a name field");
            dialog->reject();
            return;
        }
        nameEdit->setText(answer.path);
        // Through QDialog, where accept() is public; it still runs the file dialog's checks.
        static_cast<QDialog *>(dialog)->accept();
        if (dialog->isVisible()) {
            trouble << QStringLiteral("file dialog refused ") + answer.path;
            dialog->reject();
            return;
        }
        if (answer.afterAccept)
            answer.afterAccept();
        return;
    }

    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        boxes.append({box->windowTitle(), box->text(), box->standardButtons(), box->icon()});
        if (QAbstractButton *cancel = box->button(QMessageBox::Cancel))
            cancel->click();
        else
            box->reject();
        return;
    }

    trouble << QStringLiteral("unexpected modal ") +
                   QString::fromLatin1(modal->metaObject()->className());
    modal->close();
}
