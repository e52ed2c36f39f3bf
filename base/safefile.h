#pragma once

#include "base/replacementfile.h"

#include <QCoreApplication>
#include <QString>

class QIODevice;

// Files the user names, read and written without harm.
//
// Reading: only a regular file of bounded size is opened. A FIFO is never opened (its open
// would wait for a writer forever) and neither is a device (/dev/zero never ends; opening a
// serial line sets its control lines).
//
// Saving replaces the old file whole or leaves it untouched (ReplacementFile): the content goes
// to a file beside it, which takes the old file's place only once all of it is on disk. A
// folder that takes no file beside fails the save; the old file is never written in place. A
// link is followed: the file it leads to is replaced. A file the user may not write is refused.
// A character device (/dev/null, a link to /dev/full) is written directly: it holds no old
// content to lose. Other special files (a FIFO, a folder) are refused.
class SafeFile
{
    Q_DECLARE_TR_FUNCTIONS(SafeFile)

public:
    // Opens `path` into `file` for reading. False with
    // the reason in `error`: "不是普通文件", tooLargeText(maxBytes), or the system's text. A
    // file that grows after the check is read by callers only up to their own limit.
    static bool openForReading(QFile &file, const QString &path, qint64 maxBytes, QString &error);
    // "文件过大（超过64 MB）"
    static QString tooLargeText(qint64 maxBytes);
    static QString notRegularText();
    // True for what no file may be written to: a FIFO (its open waits for a reader), a folder.
    // A missing file, a regular one and a character device are writable.
    static bool refusesWriting(const QString &path);

    // The whole save in one call.
    static bool save(const QString &path, const QByteArray &bytes, QString &error);

    // A save written in slices: open(), write to device(), then commit() or cancel(). An
    // object destroyed before commit() leaves the old file as it was.
    explicit SafeFile(const QString &path) : target(path) {}
    ~SafeFile() { cancel(); }

    bool open(QString &error);
    // Valid between a successful open() and commit() or cancel().
    QIODevice *device();
    // Starts putting what was written so far on the disk without waiting for it, so a long
    // save's commit() has little left to wait for.
    void startWriteBack();
    bool commit(QString &error);
    void cancel();

private:
    QString target;
    ReplacementFile file;
};
