#include "base/safefile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h> // sync_file_range on Linux too
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class Kind { Missing, Regular, CharDevice, Other };

#ifdef Q_OS_UNIX
Kind kindOf(const struct stat &info)
{
    if (S_ISREG(info.st_mode))
        return Kind::Regular;
    return S_ISCHR(info.st_mode) ? Kind::CharDevice : Kind::Other;
}
#endif

// What `path` names, links followed; `error` holds the system's text when it cannot tell.
Kind kindOf(const QString &path, qint64 *size, QString *error)
{
#ifdef Q_OS_UNIX
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (error)
            *error = qt_error_string(errno);
        return Kind::Missing;
    }
    if (size)
        *size = qint64(info.st_size);
    return kindOf(info);
#else
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = SafeFile::tr("文件不存在");
        return Kind::Missing;
    }
    if (size)
        *size = info.size();
    return info.isFile() ? Kind::Regular : Kind::Other;
#endif
}

} // namespace

bool SafeFile::refusesWriting(const QString &path)
{
    return kindOf(path, nullptr, nullptr) == Kind::Other;
}

QString SafeFile::tooLargeText(qint64 maxBytes)
{
    return tr("文件过大（超过%1 MB）").arg(maxBytes / (1024 * 1024));
}

QString SafeFile::notRegularText()
{
    return tr("不是普通文件");
}

bool SafeFile::openForReading(QFile &file, const QString &path, qint64 maxBytes, QString &error)
{
    qint64 size = 0;
    const Kind kind = kindOf(path, &size, &error);
    if (kind == Kind::Missing)
        return false;
    if (kind != Kind::Regular) {
        error = notRegularText();
        return false;
    }
    if (size > maxBytes) {
        error = tooLargeText(maxBytes);
        return false;
    }
#ifdef Q_OS_UNIX
    // The name may have been given to a FIFO since the check: a non-blocking open returns at
    // once whatever it names, and the open file itself is checked again.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = qt_error_string(errno);
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || kindOf(info) != Kind::Regular ||
        qint64(info.st_size) > maxBytes) {
        error = S_ISREG(info.st_mode) ? tooLargeText(maxBytes) : notRegularText();
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    return true;
#endif
}

bool SafeFile::save(const QString &path, const QByteArray &bytes, QString &error)
{
    SafeFile file(path);
    if (!file.open(error))
        return false;
    // A short write means the disk is full; the next one says so.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.device()->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            error = file.device()->errorString();
            file.cancel();
            return false;
        }
        done += n;
    }
    return file.commit(error);
}

bool SafeFile::open(QString &error)
{
    cancel();
    const Kind kind = kindOf(target, nullptr, nullptr);
    if (kind == Kind::Other) {
        error = notRegularText();
        return false;
    }
    if (kind == Kind::CharDevice) {
        if (file.openTarget(target, QIODevice::WriteOnly))
            return true;
        error = file.errorString();
        return false;
    }
    QFileInfo existing(target);
    if (existing.exists() && !existing.isWritable()) {
        // Qt's own text, from Qt's catalogue, as when QSaveFile said it.
        const char *const notWritable = "Existing file %1 is not writable";
        error = QCoreApplication::translate("QSaveFile", notWritable).arg(target);
        return false;
    }
    // The file a link leads to, even one that does not exist yet; a loop of links stays put.
    QString replaced = target;
    int depth = 128;
    while (--depth && existing.isSymLink())
        existing.setFile(existing.symLinkTarget());
    if (depth > 0)
        replaced = existing.filePath();
    if (file.openBeside(replaced, QIODevice::WriteOnly))
        return true;
    error = file.errorString();
    return false;
}

QIODevice *SafeFile::device()
{
    return file.isOpen() ? &file : nullptr;
}

void SafeFile::startWriteBack()
{
#ifdef Q_OS_LINUX
    if (file.isBeside() && file.flush())
        ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool SafeFile::commit(QString &error)
{
    if (!file.isOpen()) {
        error = tr("文件未打开");
        return false;
    }
    // A write refused earlier, or the buffered tail refused now (a full disk, a full device):
    // the file is cut short and must not take the old one's place.
    const bool whole = file.flush() && file.error() == QFileDevice::NoError;
    if (!whole || !file.replaceTarget()) {
        error = file.errorString();
        cancel();
        return false;
    }
    error.clear();
    return true;
}

void SafeFile::cancel()
{
    file.discard();
}
