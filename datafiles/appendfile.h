#pragma once

#include "base/replacementfile.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

// A file that only grows, by whole records: records gather in memory and go to disk at least
// twice a second (and whenever a megabyte has gathered). When the disk refuses a write (full,
// removed, too large) the file is closed holding every whole record written before, a record
// cut in the middle is taken off again, and failed() tells why.
// A file that already exists is replaced whole: the records go to a file beside it, which
// takes its place when the writing ends, so until then the earlier file stays as it was.
// A file deleted or moved away while it is written is noticed at the next write: the writing
// stops, and what it holds is copied to a new file beside the path, which failed() names.
class AppendFile : public QObject
{
    Q_OBJECT

public:
    // How many bytes at the front of `data` (`size` bytes, records in order) form whole records.
    using WholeRecords = std::function<qint64(const char *data, qint64 size)>;

    static constexpr int FlushIntervalMs = 500;
    static constexpr int FlushBytes = 1 << 20;

    explicit AppendFile(WholeRecords wholeRecords, QObject *parent = nullptr);
    ~AppendFile() override;

    // Creates the file (beside an existing one) and writes `header` at once. False with
    // errorString(), the existing file untouched.
    bool open(const QString &path, const QByteArray &header);
    // Writes what is still buffered and closes. A failure then is reported by failed().
    void close();
    bool isOpen() const { return file.isOpen(); }

    // Records are appended here, whole, followed by recordsAdded().
    QByteArray &buffer() { return pending; }
    void recordsAdded()
    {
        if (pending.size() >= FlushBytes)
            flush();
    }
    bool flush();

    // Whether the file open is still the one at its path (not deleted, moved or replaced).
    bool stillAtPath() const;

    // Bytes of the file so far, the buffered ones included.
    qint64 size() const { return written + pending.size(); }
    QString fileName() const { return file.target(); }
    QString errorString() const { return error; }

Q_SIGNALS:
    // After each scheduled write, also when there was nothing to write.
    void flushed();
    void failed(const QString &reason);

private:
    void fail(const QString &reason, qint64 partial);
    // The file left its path: stop, and keep what it holds beside the path if we can.
    void vanished();
    // Copies the file written so far and the first `extra` buffered bytes to a new file
    // beside the path; its name, or empty with `why` set.
    QString recover(qint64 extra, QString &why);

    WholeRecords wholeRecords;
    ReplacementFile file; // beside the file asked for while it replaces an earlier one
    QByteArray pending;
    qint64 written = 0;
    QString error;
    QTimer flushTimer;
};
