#pragma once

#include "datafiles/appendfile.h"

#include <QObject>

class QDateTime;

// What the sample recording and the raw capture share: a file that only grows by whole
// records (AppendFile), the clock that times them from the start, and what they say while
// they run. Records reach the disk at least once a second; when the disk refuses one, or the
// file leaves its path, the writing stops, keeps what was written and says why.
class TimedWriter : public QObject
{
    Q_OBJECT

public:
    // Creates or replaces the file and writes its header; time counts from now. False, with
    // errorString(), when the file cannot be written.
    bool start(const QString &path);
    // Writes what is buffered and closes the file.
    void stop();
    bool isWriting() const { return file.isOpen(); }

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }
    // The size of the file with its header, the buffered records included.
    qint64 fileSize() const { return file.size(); }
    qint64 durationMs() const;
    // What was taken since the start: samples recorded, bytes captured.
    quint64 itemCount() const { return items; }
    // The name suggested for a file started `at`: "Record-YYYYMMDD-HHMMSS.csv" and the like.
    QString defaultFileName(const QDateTime &at) const;

Q_SIGNALS:
    // While writing, after each write to disk (at least once a second).
    void progress(qint64 fileBytes, qint64 durationMs);
    // The writing stopped on its own; the file keeps what came before.
    void failed(const QString &reason);

protected:
    // `namePattern`: QDateTime::toString()'s, for defaultFileName().
    TimedWriter(AppendFile::WholeRecords wholeRecords, const char *namePattern, QObject *parent);
    ~TimedWriter() override;

    // What the file starts with, made as it starts.
    virtual QByteArray header() const = 0;

    // Where whole records are appended, then added(); null while not writing.
    QByteArray *records() { return file.isOpen() ? &file.buffer() : nullptr; }
    // `count` more samples or bytes went into the records appended.
    void added(quint64 count)
    {
        items += count;
        file.recordsAdded();
    }
    // From the start to a read stamped `arrivalNs` on ArrivalClock (negative: now).
    qint64 sinceStartNs(qint64 arrivalNs) const;

private:
    const char *namePattern;
    AppendFile file;
    qint64 startNs = 0; // on ArrivalClock
    qint64 elapsedMs() const;
    qint64 stoppedAtMs = 0;
    quint64 items = 0;
};
