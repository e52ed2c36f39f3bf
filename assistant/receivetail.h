#pragma once

#include <QString>
#include <QStringList>

#include <climits>

class QTextDocument;

// What of the arrivals waiting for the receive box is laid out, and how the box is kept small.
// A flood brings more text than anyone can read and far more than the text layout can take:
// only the newest part is shown, so no update of the box costs more than a bounded amount.
class ReceiveTail
{
public:
    struct Limits
    {
        // Paragraphs (text blocks) the box keeps at least. At 5,000 and the margin below the
        // undo-free document still appends in constant time and scrolls without delay.
        int maxBlocks = 5000;
        // Characters the box keeps at most: some 2 MB of text plus its layout. Without this cap one
        // paragraph may be any length (text without line ends), and 5,000 arrivals of 64 KiB
        // each would be 330 million characters.
        int maxChars = 1000000;
        // Characters laid out per update. Measured on the offscreen platform, two loaded
        // cores: 16 Ki characters cost 5 to 11 ms (worst 30 ms), 64 Ki characters 15 to
        // 43 ms (worst 73 ms), 256 Ki 57 to 147 ms (worst 203 ms), whether in short
        // paragraphs or one long one. At 20 updates a second 16 Ki keeps the display under a
        // fifth of the time, the rest for reading the line; that is still 320,000
        // characters a second, more than a reader can follow.
        int maxCharsPerFlush = 16384;
        // Every cut at the top of the box moves all the blocks below it in the layout; at each
        // update that cost a third of the GUI thread at 1 MB/s. So the box may hold this many
        // paragraphs beyond maxBlocks before it goes back to maxBlocks in one cut, and once
        // over maxChars it goes back to this many characters below it.
        int blockMargin = 2500;
        int charMargin = 250000;
    };

    struct Cut
    {
        // To append, oldest first; the first may be the end of a longer paragraph.
        QStringList paragraphs;
        // Characters of the queue left out.
        qint64 droppedChars = 0;
    };

    // The newest part of `queued` that fits: at most maxBlocks blocks and at most the smaller
    // of maxChars and maxCharsPerFlush characters. A paragraph that does not fit whole is cut
    // to its end (never inside a surrogate pair); the older ones are left out.
    static Cut tail(const QStringList &queued, const Limits &limits);

    // Blocks a paragraph makes in a QTextDocument: one, and one more for each LF, CR LF,
    // lone CR and paragraph separator inside it, as QTextCursor::insertText splits them.
    static int blockCount(const QString &paragraph);

    // Removes the oldest text, in one cut, until `document` holds at most `maxChars`
    // characters and at most `maxBlocks` blocks: whole paragraphs, and the front of the
    // newest one only when it alone is too long.
    static void trimFront(QTextDocument &document, int maxChars, int maxBlocks = INT_MAX);
};
