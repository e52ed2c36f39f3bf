#include "assistant/receivelog.h"

#include <QFile>
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
    // A flood can bring more than the scrollback holds between two updates; what it would
    // drop at once is not laid out at all, so an update never costs more than a full box.
    const int first = ReceiveFormatter::firstKept(pending, Scrollback);
    show(first == 0 ? pending : pending.mid(first));
    pending.clear();
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
    QFile file(path);
    const QByteArray content = box->toPlainText().toUtf8();
    const bool saved =
        file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush();
    error = file.errorString();
    return saved;
}

void ReceiveLog::show(const QStringList &paragraphs)
{
    QTextDocument *document = box->document();
    // Set here rather than once: the limit also switches off the undo history, which would
    // otherwise keep every arrival.
    if (document->maximumBlockCount() != Scrollback)
        document->setMaximumBlockCount(Scrollback);

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

    if (atBottom)
        bar->setValue(bar->maximum());
}
