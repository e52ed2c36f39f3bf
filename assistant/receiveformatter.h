#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class QTime;

// Turns the byte chunks that arrive on the serial assistant's port into the paragraphs of the
// receive box. Keeps the start of a UTF-8 character that a read cut off, so the character shows
// whole with the next arrival; zero bytes and a leading byte order mark are shown like any
// other character.
class ReceiveFormatter
{
    Q_DECLARE_TR_FUNCTIONS(ReceiveFormatter)

public:
    // The paragraph for one arrival, or a null string when there is nothing to show yet (an
    // empty chunk, or only the start of a character).
    QString format(const QByteArray &chunk, bool hex, bool stamped, const QTime &now);

    // Forgets a held character start, for a new session on the port.
    void reset()
    {
        pending.clear();
        stampSecond = -1;
    }
    QByteArray heldBytes() const { return pending; }

    // "9时5分7秒:" for 09:05:07, in the interface's language.
    static QString timeStamp(const QTime &time);
    // "01 ab ff".
    static QString hexForm(const QByteArray &bytes);

private:
    // The stamp of the second last shown: a busy line brings thousands of arrivals a second,
    // each of which would otherwise translate and format the same text.
    const QString &stampFor(const QTime &time);

    QByteArray pending;
    int stampSecond = -1; // of the day, -1 for none
    QString stamp;
};
