#include "tests/support/modaldriver.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>

ModalDriver::ModalDriver()
{
    // The offscreen platform has no native dialogs.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
    timer.start(20);
}

void ModalDriver::answerFileDialog(const QString &path, std::function<void()> afterAccept)
{
    answers.append({path, std::move(afterAccept)});
}

void ModalDriver::poll()
{
    // A progress dialog shows only once its work has taken a while; cancelled before, too.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *progress = qobject_cast<QProgressDialog *>(window);
        if (progress && cancelProgress && !progress->wasCanceled())
            progress->cancel();
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        boxes.append({box->windowTitle(), box->text(), box->standardButtons(), box->icon()});
        box->reject();
        return;
    }
    if (qobject_cast<QProgressDialog *>(modal))
        return;
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (!dialog) {
        problems << QStringLiteral("unexpected modal ") + modal->metaObject()->className();
        modal->close();
        return;
    }
    ++fileDialogs;
    const Answer answer = answers.isEmpty() ? Answer{} : answers.takeFirst();
    auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (answer.path.isEmpty() || !nameEdit) {
        if (!nameEdit)
            problems << QStringLiteral("file dialog without a name field");
        dialog->reject();
        return;
    }
    nameEdit->setText(answer.path);
    // Through QDialog, where accept() is public; it still runs the file dialog's checks.
    static_cast<QDialog *>(dialog)->accept();
    if (dialog->isVisible()) {
        problems << QStringLiteral("file dialog refused ") + answer.path;
        dialog->reject();
    } else if (answer.afterAccept) {
        answer.afterAccept();
    }
}
