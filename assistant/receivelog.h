#pragma once

#include "assistant/receiveformatter.h"
#include "assistant/receivetail.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

class QTextEdit;
class QTime;

// The serial assistant's receive box: every arrival becomes one plain-text paragraph at the
// end, shown at once on a quiet line and in batches on a busy one. The box keeps the newest
// Scrollback paragraphs (and up to a margin more) and at most a million characters, and an
// update lays out only the newest part of what waits (ReceiveTail), so no flood costs more
// than a bounded amount.
class ReceiveLog : public QObject
{
    Q_OBJECT

public:
    // Paragraphs the box keeps at least; older ones are dropped, past a margin and then in
    // one cut, so a chatty board cannot exhaust memory or make every append slower.
    static constexpr int Scrollback = ReceiveTail::Limits{}.maxBlocks;
    // Every update of the box lays it out and repaints it; a USB adapter at 1 MB/s delivers
    // some 16,000 arrivals a second. A busy line is shown at most this often.
    static constexpr int FlushIntervalMs = 50;

    // The box is not owned.
    explicit ReceiveLog(QTextEdit *box, QObject *parent = nullptr);

    // One arrival, as text or hexadecimal bytes, `stamped` with `time`.
    void append(const QByteArray &chunk, bool hex, bool stamped, const QTime &time);
    // Shows the arrivals still waiting.
    void flush();
    // Empties the box, arrivals still waiting included: they came before the clear.
    void clear();
    // Forgets the start of a character held back from the last arrival, for a new session.
    void reset() { formatter.reset(); }

    int queued() const { return pending.size(); }

    // Writes the box's text, waiting arrivals included, to `path` as UTF-8 like the display
    // (Latin-1 would turn the time stamps' 时分秒 into "?"), replacing an older file whole or
    // leaving it as it was. False, with `error`, on failure.
    bool saveTo(const QString &path, QString &error);

private:
    void show(const QStringList &paragraphs);

    QTextEdit *box;
    const ReceiveTail::Limits limits;
    ReceiveFormatter formatter;
    // Arrivals not yet in the box: their bytes one after the other in `waitingBytes` (one
    // buffer rather than the read's own, which holds 16 KiB or more for a few bytes).
    struct Waiting
    {
        int end; // in waitingBytes
        QString stamp;
        bool hex;
    };
    QByteArray waitingBytes;
    QVector<Waiting> pending;
    QTimer flushTimer;
    QElapsedTimer sinceFlush; // since the box was last updated
};
