#include "datafiles/appendfile.h"
#include "datafiles/safefile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
    target = path;
    if (SafeFile::refusesWriting(path)) {
        error = SafeFile::notRegularText();
        return false;
    }
    QString writeTo = path;
    const QFileInfo existing(path);
    if (existing.exists() && existing.isFile()) {
        // A name of its own beside the earlier file, on the same disk, so that a rename can
        // put it in place; it starts with the earlier file's permissions.
        QTemporaryFile reserve(path + QStringLiteral(".XXXXXX.part"));
        reserve.setAutoRemove(false);
        if (!reserve.open()) {
            error = reserve.errorString();
            return false;
        }
        writeTo = reserve.fileName();
        reserve.setPermissions(existing.permissions());
    }
    file.setFileName(writeTo);
    // Unbuffered: a refused write shows at once, not at some later flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = file.errorString();
        if (writeTo != target)
            QFile::remove(writeTo);
        return false;
    }
    // Not through flush(): its failure puts what was written in the earlier file's place, and
    // a file that could not take its header holds nothing worth keeping.
    for (qint64 done = 0; done < header.size();) {
        const qint64 n = file.write(header.constData() + done, header.size() - done);
        if (n <= 0) {
            error = file.errorString();
            file.close();
            QFile::remove(writeTo);
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
    file.close();
    pending.clear();
    pending.squeeze();
    if (!replaceTarget())
        Q_EMIT failed(error);
}

bool AppendFile::replaceTarget()
{
    if (file.fileName() == target)
        return true;
    // rename() puts the new file in place of the old in one step, as QSaveFile does.
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    file.setFileName(target);
    return true;
}

bool AppendFile::flush()
{
    if (!file.isOpen())
        return false;
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
    file.close();
    pending.clear();
    pending.squeeze();
    error = reason;
    // What was written replaces the earlier file whole: it is what the recording holds.
    replaceTarget();
    Q_EMIT failed(reason);
}
