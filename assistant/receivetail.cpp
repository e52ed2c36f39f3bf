#include "assistant/receivetail.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// Length of the line end at `i`, looking back: 2 for the LF of a CR LF, 1 for another line
// end, 0 for any other character.
int lineEndBefore(const QString &text, int i)
{
    const QChar c = text.at(i);
    if (c == QLatin1Char('\n'))
        return i > 0 && text.at(i - 1) == QLatin1Char('\r') ? 2 : 1;
    if (c == QLatin1Char('\r') || c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 ||
        c.unicode() == 0xFDD1)
        return 1;
    return 0;
}

// Start of the longest end of `text` that makes at most `blocks` blocks.
int startForBlocks(const QString &text, int blocks)
{
    int made = 1;
    for (int i = text.size() - 1; i >= 0; --i) {
        const int length = lineEndBefore(text, i);
        if (length == 0)
            continue;
        if (made == blocks)
            return i + 1;
        ++made;
        i -= length - 1;
    }
    return 0;
}

} // namespace

int ReceiveTail::blockCount(const QString &paragraph)
{
    int blocks = 1;
    for (int i = paragraph.size() - 1; i >= 0; --i) {
        const int length = lineEndBefore(paragraph, i);
        if (length > 0) {
            ++blocks;
            i -= length - 1;
        }
    }
    return blocks;
}

ReceiveTail::Cut ReceiveTail::tail(const QStringList &queued, const Limits &limits)
{
    qint64 charsLeft = std::min(limits.maxChars, limits.maxCharsPerFlush);
    int blocksLeft = limits.maxBlocks;
    int first = queued.size(); // queued[first] on are laid out whole
    int partStart = -1;        // and the end of queued[first - 1] from here, when not -1
    while (first > 0) {
        const QString &paragraph = queued.at(first - 1);
        const int blocks = blockCount(paragraph);
        if (paragraph.size() <= charsLeft && blocks <= blocksLeft) {
            charsLeft -= paragraph.size();
            blocksLeft -= blocks;
            --first;
            continue;
        }
        if (charsLeft > 0 && blocksLeft > 0) {
            int start = std::max(int(paragraph.size()) - int(charsLeft),
                                 startForBlocks(paragraph, blocksLeft));
            if (start > 0 && start < paragraph.size() && paragraph.at(start).isLowSurrogate() &&
                paragraph.at(start - 1).isHighSurrogate())
                ++start;
            if (start < paragraph.size())
                partStart = start;
        }
        break;
    }

    Cut cut;
    for (int i = 0; i < first; ++i)
        cut.droppedChars += queued.at(i).size();
    if (partStart >= 0) {
        const QString &paragraph = queued.at(first - 1);
        cut.droppedChars -= paragraph.size() - partStart;
        cut.paragraphs.append(paragraph.mid(partStart));
    }
    cut.paragraphs.append(queued.mid(first));
    return cut;
}

void ReceiveTail::trimFront(QTextDocument &document, int maxChars, int maxBlocks)
{
    int end = 0;
    const int blocks = document.blockCount();
    if (maxBlocks > 0 && blocks > maxBlocks)
        end = document.findBlockByNumber(blocks - maxBlocks).position();
    // characterCount() includes the separator after the last paragraph.
    const int excess = document.characterCount() - 1 - maxChars;
    if (excess > end) {
        const QTextBlock block = document.findBlock(excess);
        end = excess;
        if (block.position() != excess && block.next().isValid())
            end = block.position() + block.length();
    }
    if (end <= 0)
        return;
    QTextCursor cursor(&document);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
