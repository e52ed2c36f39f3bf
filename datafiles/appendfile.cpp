#include "datafiles/appendfile.h"

#include <algorithm>

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
    file.setFileName(path);
    // Unbuffered: a refused write shows at once, not at some later flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    pending = header;
    {
        // The caller hears of this failure from the result.
        const QSignalBlocker quiet(this);
        if (!flush())
            return false;
    }
    flushTimer.start();
    return true;
}

void AppendFile::close()
{
    if (!file.isOpen())
        return;
    flushTimer.stop();
    if (flush())
        file.close();
    pending.clear();
    pending.squeeze();
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
    Q_EMIT failed(reason);
}
