#include "assistant/receivelog.h"

#include "base/safefile.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTime>

#include <algorithm>

ReceiveLog::ReceiveLog(QTextEdit *textEdit, QObject *parent) : QObject(parent), box(textEdit)
{
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &ReceiveLog::flush);
}

void ReceiveLog::append(const QByteArray &chunk, bool hex, bool stamped, const QTime &time)
{
    const ReceiveFormatter::Arrival arrival = formatter.take(chunk, hex, stamped, time);
    if (arrival.bytes.isEmpty())
        return;
    waitingBytes.append(arrival.bytes);
    pending.append({int(waitingBytes.size()), arrival.stamp, hex});
    const qint64 elapsed = sinceFlush.isValid() ? sinceFlush.elapsed() : FlushIntervalMs;
    if (elapsed >= FlushIntervalMs) {
        flush();
        return;
    }
    if (!flushTimer.isActive())
        flushTimer.start(int(FlushIntervalMs - elapsed));
}

void ReceiveLog::flush()
{
    flushTimer.stop();
    if (pending.isEmpty())
        return;
    sinceFlush.start();
    // A flood brings more between two updates than anyone can read and the layout can take:
    // only its newest part is laid out, and only the arrivals that part may take are turned
    // into text, newest first, up to the first one that does not fit whole.
    const qint64 maxChars = std::min(limits.maxChars, limits.maxCharsPerFlush);
    QStringList newest;
    qint64 chars = 0;
    int blocks = 0;
    for (int i = pending.size() - 1; i >= 0 && chars <= maxChars && blocks <= limits.maxBlocks;
         --i) {
        const Waiting &arrival = pending.at(i);
        const int start = i > 0 ? pending.at(i - 1).end : 0;
        newest.prepend(ReceiveFormatter::paragraph(
            waitingBytes.constData() + start, arrival.end - start, arrival.hex, arrival.stamp));
        chars += newest.first().size();
        blocks += ReceiveTail::blockCount(newest.first());
    }
    pending.clear();
    waitingBytes.clear();
    const QStringList paragraphs = ReceiveTail::tail(newest, limits).paragraphs;
    show(paragraphs);
}

void ReceiveLog::clear()
{
    flushTimer.stop();
    pending.clear();
    waitingBytes.clear();
    box->clear();
}

bool ReceiveLog::saveTo(const QString &path, QString &error)
{
    flush();
    return SafeFile::save(path, box->toPlainText().toUtf8(), error);
}

void ReceiveLog::show(const QStringList &paragraphs)
{
    QTextDocument *document = box->document();
    // Set here rather than once, as the box's document may be replaced: the undo history
    // would otherwise keep every arrival.
    if (document->isUndoRedoEnabled())
        document->setUndoRedoEnabled(false);

    // Follow new text only when the view already showed the end, as QTextEdit::append does.
    QScrollBar *bar = box->verticalScrollBar();
    const bool atBottom =
        box->isReadOnly() ? bar->value() >= bar->maximum() : box->textCursor().atEnd();

    // Plain text always: append() would take "<b>" from the board as markup.
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    const int before = document->isEmpty() ? 0 : document->blockCount();
    for (const QString &paragraph : paragraphs) {
        if (!document->isEmpty())
            cursor.insertBlock();
        cursor.insertText(paragraph);
    }
    cursor.endEditBlock();
    const int added = document->blockCount() - before;
    // Not in the edit above: a change from the top to the end would lay out every block again.
    // An update that fills the box by itself leaves nothing older in it.
    const int blocks = document->blockCount();
    const bool blocksOver = blocks > limits.maxBlocks + limits.blockMargin ||
                            (blocks > limits.maxBlocks && added >= limits.maxBlocks);
    const bool charsOver = document->characterCount() - 1 > limits.maxChars;
    if (blocksOver || charsOver)
        ReceiveTail::trimFront(*document,
                               charsOver ? limits.maxChars - limits.charMargin : limits.maxChars,
                               limits.maxBlocks);

    if (atBottom)
        bar->setValue(bar->maximum());
}
