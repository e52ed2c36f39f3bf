#include "base/replacementfile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QTemporaryFile>
#endif

#include <cerrno>
#include <cstdio>

ReplacementFile::~ReplacementFile()
{
    if (isOpen() && isBeside())
        discard();
}

bool ReplacementFile::openTarget(const QString &target, OpenMode mode)
{
    close();
    targetName = target;
    setFileName(target);
    return open(mode);
}

bool ReplacementFile::openBeside(const QString &target, OpenMode mode)
{
    close();
    targetName = target;
    setFileName(target);
#ifdef Q_OS_UNIX
    // Made here rather than by QTemporaryFile: a file with no target starts as any new file
    // does (the umask's permissions); one with a target stays private until it has the
    // target's.
    struct stat existing
    {
    };
    const bool replaces = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    int fd = -1;
    QString name;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        // Six letters or digits, as QTemporaryFile's XXXXXX.
        const quint32 tag = QRandomGenerator::global()->bounded(2176782336U); // 36^6
        name = target + QStringLiteral(".%1.part").arg(tag, 6, 36, QLatin1Char('0'));
        fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    replaces ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        setErrorString(qt_error_string(errno));
        return false;
    }
    if (replaces)
        ::fchmod(fd, existing.st_mode & 0777);
    ::close(fd);
#else
    QTemporaryFile reserve(target + QStringLiteral(".XXXXXX.part"));
    reserve.setAutoRemove(false);
    if (!reserve.open()) {
        setErrorString(reserve.errorString());
        return false;
    }
    const QString name = reserve.fileName();
    reserve.close();
    if (QFileInfo::exists(target))
        QFile::setPermissions(name, QFileInfo(target).permissions());
#endif
    // Opened by its name, so that the name is there to check and to rename.
    setFileName(name);
    if (open(mode))
        return true;
    const QString why = errorString();
    discard();
    setErrorString(why);
    return false;
}

bool ReplacementFile::replaceTarget()
{
    if (!isBeside()) {
        close();
        return true;
    }
    if (isOpen()) {
        flush();
#ifdef Q_OS_UNIX
        // On the disk before it takes the name: a crash then leaves the old file or the new.
        ::fsync(handle());
#endif
        close();
    }
    // rename() puts the new file in place of the old in one step.
    if (std::rename(QFile::encodeName(fileName()).constData(),
                    QFile::encodeName(targetName).constData()) != 0) {
        setErrorString(qt_error_string(errno));
        return false;
    }
    setFileName(targetName);
    return true;
}

void ReplacementFile::discard()
{
    close();
    if (!isBeside())
        return;
    QFile::remove(fileName());
    setFileName(targetName);
}
