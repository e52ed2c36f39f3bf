#include "assistant/receivelog.h"

#include "base/safefile.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTime>

ReceiveLog::ReceiveLog(QTextEdit *textEdit, QObject *parent) : QObject(parent), box(textEdit)
{
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &ReceiveLog::flush);
}

void ReceiveLog::append(const QByteArray &chunk, bool hex, bool stamped, const QTime &time)
{
    const QString paragraph = formatter.format(chunk, hex, stamped, time);
    if (paragraph.isNull())
        return;
    pending.append(paragraph);
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
    // only its newest part is laid out.
    const QStringList paragraphs = ReceiveTail::tail(pending, limits).paragraphs;
    pending.clear();
    show(paragraphs);
}

void ReceiveLog::clear()
{
    flushTimer.stop();
    pending.clear();
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
    // Set here rather than once: the limit also switches off the undo history, which would
    // otherwise keep every arrival.
    if (document->maximumBlockCount() != limits.maxBlocks)
        document->setMaximumBlockCount(limits.maxBlocks);

    // Follow new text only when the view already showed the end, as QTextEdit::append does.
    QScrollBar *bar = box->verticalScrollBar();
    const bool atBottom =
        box->isReadOnly() ? bar->value() >= bar->maximum() : box->textCursor().atEnd();

    // Plain text always: append() would take "<b>" from the board as markup.
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const QString &paragraph : paragraphs) {
        if (!document->isEmpty())
            cursor.insertBlock();
        cursor.insertText(paragraph);
    }
    cursor.endEditBlock();
    ReceiveTail::trimFront(*document, limits.maxChars);

    if (atBottom)
        bar->setValue(bar->maximum());
}
