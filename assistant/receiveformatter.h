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
    // One arrival as it waits to be shown: the bytes of whole characters (all of them in
    // hexadecimal) and the stamp. A flood brings far more than an update shows, so the text
    // is made only for the arrivals an update keeps.
    struct Arrival
    {
        QByteArray bytes; // empty when there is nothing to show yet
        QString stamp;    // null when not stamped
        bool hex = false;
    };

    // Takes one arrival: holds back the start of a character cut off at its end.
    Arrival take(const QByteArray &chunk, bool hex, bool stamped, const QTime &now);
    // The paragraph of an arrival's `size` bytes at `bytes`, or a null string when it has
    // nothing to show (an empty chunk, or only the start of a character).
    static QString paragraph(const char *bytes, int size, bool hex, const QString &stamp);

    QString format(const QByteArray &chunk, bool hex, bool stamped, const QTime &now)
    {
        const Arrival arrival = take(chunk, hex, stamped, now);
        return paragraph(arrival.bytes.constData(), arrival.bytes.size(), hex, arrival.stamp);
    }

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
    static QString hexForm(const char *bytes, int size);

private:
    // The stamp of the second last shown: a busy line brings thousands of arrivals a second,
    // each of which would otherwise translate and format the same text.
    const QString &stampFor(const QTime &time);

    QByteArray pending;
    int stampSecond = -1; // of the day, -1 for none
    QString stamp;
};
