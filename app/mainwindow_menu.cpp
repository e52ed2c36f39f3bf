// Menu actions: documents named in path.ini beside the executable, in the interface's
// language where the document has a version in it.
#include "app/language.h"
#include "base/logging.h"
#include "app/mainwindow.h"
#include "app/pathini.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QStatusBar>
#include <QUrl>

namespace {

// The project's web site, shown by the About action whatever line 1 names.
const char aboutAddress[] = "https://tavrino.example.org/";

// Where a document that did not open can be found: a file's path, any other URL as it is.
QString shownLocation(const QUrl &document)
{
    return document.isLocalFile() ? QDir::toNativeSeparators(document.toLocalFile())
                                  : document.toString();
}

} // namespace

bool MainWindow::readPathIni(QStringList &lines)
{
    const QString dir = QCoreApplication::applicationDirPath();
    qCDebug(lcApp) << dir;
    // Only the start of the file: a runaway one costs no more than a good one.
    const PathIni::Contents ini = PathIni::read(dir + QStringLiteral("/path.ini"));
    if (ini.status != PathIni::Status::Ok) {
        statusBar()->showMessage(PathIni::statusText(ini.status), 0);
        return false;
    }
    lines = ini.lines;
    qCDebug(lcApp) << lines;
    return true;
}

void MainWindow::On_ActionAbout()
{
    QStringList lines;
    if (!readPathIni(lines))
        return;
    const QString address = QString::fromLatin1(aboutAddress);
    if (QDesktopServices::openUrl(QUrl(lines.at(0), QUrl::TolerantMode)))
        statusBar()->showMessage(address, 0);
    else
        statusBar()->showMessage(tr("打开失败 %1").arg(address), 0);
}

void MainWindow::On_ActionHTML()
{
    QStringList lines;
    if (!readPathIni(lines))
        return;
    // Line 3 starts with '/' and is joined to the folder as it stands.
    const QString path = QCoreApplication::applicationDirPath() + lines.at(2);
    const QUrl document = QUrl::fromLocalFile(Language::documentPath(path, Language::current()));
    if (QDesktopServices::openUrl(document))
        statusBar()->showMessage(tr("已打开协议"), 0);
    else
        statusBar()->showMessage(tr("打开失败，请用浏览器打开 %1").arg(shownLocation(document)), 0);
}

void MainWindow::On_ActionURL()
{
    QStringList lines;
    if (!readPathIni(lines))
        return;
    const QUrl tutorial(lines.at(1), QUrl::TolerantMode);
    const QUrl document = Language::documentUrl(tutorial, Language::current());
    if (QDesktopServices::openUrl(document))
        statusBar()->showMessage(tr("已打开教程"), 0);
    else
        statusBar()->showMessage(tr("打开失败，请用浏览器打开 %1").arg(shownLocation(document)), 0);
}
