#include "datafiles/appendfile.h"

#include "base/safefile.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

AppendFile::AppendFile(WholeRecords records, QObject *parent)
    : QObject(parent), wholeRecords(std::move(records))
{
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, [this] {
        if (flush())
            Q_EMIT flushed();
    });
}

AppendFile::~AppendFile()
{
    // No one is left to hear of a failure now; what can be written is.
    blockSignals(true);
    close();
}

bool AppendFile::open(const QString &path, const QByteArray &header)
{
    close();
    error.clear();
    written = 0;
    pending.clear();
    if (SafeFile::refusesWriting(path)) {
        error = SafeFile::notRegularText();
        return false;
    }
    // Unbuffered: a refused write shows at once, not at some later flush. Readable too, so
    // that what it holds can still be copied once its name is gone.
    const auto mode = QIODevice::Truncate | QIODevice::Unbuffered;
    const QFileInfo existing(path);
    const bool replaces = existing.exists() && existing.isFile();
    if (!(replaces ? file.openBeside(path, QIODevice::ReadWrite | mode)
                   : file.openTarget(path, QIODevice::ReadWrite | mode) ||
                         file.openTarget(path, QIODevice::WriteOnly | mode))) {
        error = file.errorString();
        return false;
    }
    // Not through flush(): its failure puts what was written in the earlier file's place, and
    // a file that could not take its header holds nothing worth keeping.
    for (qint64 done = 0; done < header.size();) {
        const qint64 n = file.write(header.constData() + done, header.size() - done);
        if (n <= 0) {
            error = file.errorString();
            file.discard();
            if (!existing.exists())
                QFile::remove(path);
            return false;
        }
        done += n;
    }
    written = header.size();
    flushTimer.start();
    return true;
}

void AppendFile::close()
{
    if (!file.isOpen())
        return;
    flushTimer.stop();
    if (!flush())
        return; // fail() has closed and replaced
    pending.clear();
    pending.squeeze();
    if (!file.replaceTarget()) {
        error = file.errorString();
        Q_EMIT failed(error);
    }
}

bool AppendFile::stillAtPath() const
{
#ifdef Q_OS_UNIX
    struct stat opened
    {
    };
    if (!file.isOpen() || ::fstat(file.handle(), &opened) != 0)
        return true; // nothing to tell by
    if (opened.st_nlink == 0)
        return false;
    // A device has no content to lose.
    if (!S_ISREG(opened.st_mode))
        return true;
    struct stat atPath
    {
    };
    if (::stat(QFile::encodeName(file.fileName()).constData(), &atPath) != 0)
        return errno != ENOENT && errno != ENOTDIR;
    return atPath.st_dev == opened.st_dev && atPath.st_ino == opened.st_ino;
#else
    return !file.isOpen() || QFileInfo::exists(file.fileName());
#endif
}

bool AppendFile::flush()
{
    if (!file.isOpen())
        return false;
    // Written on, an unlinked file would take every record and keep none.
    if (!stillAtPath()) {
        vanished();
        return false;
    }
    qint64 done = 0;
    while (done < pending.size()) {
        // A short write leaves the reason to the next attempt.
        const qint64 n = file.write(pending.constData() + done, pending.size() - done);
        if (n <= 0) {
            fail(file.errorString(), done);
            return false;
        }
        done += n;
    }
    written += done;
    pending.resize(0);
    return true;
}

void AppendFile::fail(const QString &reason, qint64 partial)
{
    flushTimer.stop();
    const qint64 keep = std::clamp<qint64>(wholeRecords(pending.constData(), partial), 0, partial);
    // Take the cut record off; shrinking works on a full disk too.
    if (file.resize(written + keep))
        written += keep;
    else
        written += partial;
    pending.clear();
    pending.squeeze();
    error = reason;
    // What was written replaces the earlier file whole: it is what the recording holds.
    file.replaceTarget();
    Q_EMIT failed(reason);
}

void AppendFile::vanished()
{
    flushTimer.stop();
    const qint64 keep =
        std::clamp<qint64>(wholeRecords(pending.constData(), pending.size()), 0, pending.size());
    QString why;
    const QString copy = recover(keep, why);
    file.close();
    pending.clear();
    pending.squeeze();
    // What was written is not at the path: it must not replace the earlier file either.
    error =
        copy.isEmpty()
            ? tr("文件已被删除或移动，已写入的内容未能另存：%1").arg(why)
            : tr("文件已被删除或移动，已写入的内容另存为 %1").arg(QDir::toNativeSeparators(copy));
    Q_EMIT failed(error);
}

QString AppendFile::recover(qint64 extra, QString &why)
{
    const QFileInfo asked(file.target());
    const QString suffix = asked.suffix().isEmpty() ? QString() : QLatin1Char('.') + asked.suffix();
    QFile copy;
    // A name of its own: whatever is at the path now, or beside it, stays as it is.
    for (int n = 1; n <= 100 && !copy.isOpen(); ++n) {
        const QString tag =
            n == 1 ? QStringLiteral("-recovered") : QStringLiteral("-recovered-%1").arg(n);
        copy.setFileName(asked.dir().filePath(asked.completeBaseName() + tag + suffix));
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !copy.exists()) {
            why = copy.errorString();
            return QString();
        }
    }
    if (!copy.isOpen()) {
        why = copy.errorString();
        return QString();
    }
    bool ok = true;
#ifdef Q_OS_UNIX
    // The descriptor still reaches the content, wherever its name went.
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0; ok && at < written;) {
        const ssize_t n = ::pread(file.handle(), chunk.data(),
                                  size_t(std::min<qint64>(chunk.size(), written - at)), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            ok = false;
        } else if (n == 0) {
            break; // cut short by someone else: keep what is there
        } else {
            ok = copy.write(chunk.constData(), n) == n;
            at += n;
        }
    }
#else
    ok = written == 0;
#endif
    ok = ok && copy.write(pending.constData(), extra) == extra && copy.flush();
    if (!ok) {
        if (why.isEmpty())
            why = copy.errorString();
        copy.remove();
        return QString();
    }
    copy.close();
    return copy.fileName();
}
