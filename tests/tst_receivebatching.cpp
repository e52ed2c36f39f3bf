// The receive box under a busy line: arrivals are shown in batches, each still its own
// paragraph, none lost, none reordered, and only the newest 5000 kept; a flood lays out only
// its newest part, and the box keeps to its character cap.
#include "assistant/receiveformatter.h"
#include "assistant/receivetail.h"
#include "tests/support/windowdriver.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

class ReceiveBatchingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void burstArrivesWholeAndInOrder_data();
    void burstArrivesWholeAndInOrder();
    void floodKeepsOnlyWhatFits_data();
    void floodKeepsOnlyWhatFits();
    void floodLaysOutOnlyItsEnd_data();
    void floodLaysOutOnlyItsEnd();
    void boxKeepsItsCharacterCap_data();
    void boxKeepsItsCharacterCap();
};

void ReceiveBatchingTest::burstArrivesWholeAndInOrder_data()
{
    QTest::addColumn<int>("writes");
    QTest::addColumn<bool>("hex");
    QTest::newRow("a few arrivals") << 5 << false;
    QTest::newRow("a burst") << 3000 << false;
    QTest::newRow("a burst, hexadecimal") << 2000 << true;
    QTest::newRow("more than the box keeps") << 20000 << false;
}

void ReceiveBatchingTest::burstArrivesWholeAndInOrder()
{
    QFETCH(int, writes);
    QFETCH(bool, hex);
    WindowDriver d;
    d.openAssistant();
    if (hex)
        d.click("radioRecvOptHEX");

    // No line ends in the data, so the box's text without its paragraph breaks is the stream.
    QByteArray stream;
    for (int i = 0; i < writes; ++i) {
        const QByteArray chunk = QByteArray::number(i, 36) + ';';
        stream += chunk;
        QVERIFY(d.peer().write(chunk));
        // Let the window read now and then, so the chunks arrive as many separate arrivals.
        QCoreApplication::processEvents();
    }
    const QByteArray end("#END");
    stream += end;
    QVERIFY(d.peer().write(end));

    const QString shownEnd = hex ? QStringLiteral("23 45 4e 44") : QString::fromLatin1(end);
    auto *box = d.child<QTextEdit>("textRecvOutput");
    const auto joined = [&] { return box->toPlainText().remove(QLatin1Char('\n')); };
    QTRY_VERIFY_WITH_TIMEOUT(joined().endsWith(shownEnd), 30000);

    QString expected = QString::fromLatin1(stream);
    if (hex) {
        // Hex paragraphs are "xx xx"; joined without breaks, neighbours lose their blank.
        expected.clear();
        for (char byte : stream)
            expected += QStringLiteral("%1 ").arg(uchar(byte), 2, 16, QLatin1Char('0'));
        expected.chop(1);
        QCOMPARE(joined().remove(QLatin1Char(' ')), QString(expected).remove(QLatin1Char(' ')));
        return;
    }
    const QString shown = joined();
    QVERIFY(box->document()->blockCount() <= 5000);
    if (box->document()->blockCount() < 5000)
        QCOMPARE(shown, expected);
    else
        QVERIFY2(expected.endsWith(shown) && shown.size() < expected.size(),
                 "the box holds the newest part of the stream");
}

void ReceiveBatchingTest::floodKeepsOnlyWhatFits_data()
{
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("first");
    QTest::newRow("nothing") << QStringList() << 3 << 0;
    QTest::newRow("fewer than the limit") << QStringList{"a", "b"} << 3 << 0;
    QTest::newRow("exactly the limit") << QStringList{"a", "b", "c"} << 3 << 0;
    QTest::newRow("one too many") << QStringList{"a", "b", "c", "d"} << 3 << 1;
    // "b\nc" is two blocks: with "d" that makes three, so "a" goes.
    QTest::newRow("line ends count") << QStringList{"a", "b\nc", "d"} << 3 << 1;
    // The newest paragraph alone overflows: it is kept, the box keeps its end.
    QTest::newRow("one paragraph overflows") << QStringList{"a", "1\n2\n3\n4"} << 3 << 1;
    QTest::newRow("a trailing line end is a block") << QStringList{"a", "b\n", "c"} << 3 << 1;
    QTest::newRow("paragraph separator")
        << QStringList{"a", QString(QChar::ParagraphSeparator), "c"} << 3 << 1;
}

void ReceiveBatchingTest::floodKeepsOnlyWhatFits()
{
    QFETCH(QStringList, paragraphs);
    QFETCH(int, limit);
    QFETCH(int, first);
    QCOMPARE(ReceiveFormatter::firstKept(paragraphs, limit), first);

    // Adding only those from `first` on leaves what adding them all leaves.
    QTextDocument all;
    QTextDocument kept;
    all.setMaximumBlockCount(limit);
    kept.setMaximumBlockCount(limit);
    for (int i = 0; i < paragraphs.size(); ++i) {
        for (QTextDocument *doc : {&all, &kept}) {
            if (doc == &kept && i < first)
                continue;
            QTextCursor cursor(doc);
            cursor.movePosition(QTextCursor::End);
            if (!doc->isEmpty())
                cursor.insertBlock();
            cursor.insertText(paragraphs.at(i));
        }
    }
    QCOMPARE(kept.toPlainText(), all.toPlainText());
}

void ReceiveBatchingTest::floodLaysOutOnlyItsEnd_data()
{
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<QVector<int>>("limits"); // blocks, characters in the box, per update
    QTest::addColumn<QStringList>("laidOut");
    QTest::addColumn<int>("dropped");
    const QString big = QString(100000, QLatin1Char('x')) + QStringLiteral("END");
    const QString smiley = QString::fromUtf8("a\xf0\x9f\x98\x80"
                                             "b");
    const auto row = [](const char *name, const QStringList &queued, const QVector<int> &limits,
                        const QStringList &laidOut, int dropped) {
        QTest::newRow(name) << queued << limits << laidOut << dropped;
    };
    row("quiet line: all of it", {"a", "b"}, {5000, 1000, 100}, {"a", "b"}, 0);
    row("empty queue", {}, {5000, 1000, 100}, {}, 0);
    row("flood: the newest that fit", {"aaaa", "bbbb", "cccc"}, {5000, 1000, 8}, {"bbbb", "cccc"},
        4);
    row("the oldest kept is cut", {"aaaa", "bbbb", "cccc"}, {5000, 1000, 10},
        {"aa", "bbbb", "cccc"}, 2);
    row("text without line ends: its end", {big}, {5000, 1000000, 16}, {big.right(16)},
        big.size() - 16);
    row("box smaller than an update", {"abcdefgh"}, {5000, 5, 100}, {"defgh"}, 3);
    row("line ends are blocks", {"a", "b\nc", "d"}, {3, 1000, 100}, {"b\nc", "d"}, 1);
    row("more lines than the box holds", {"1\n2\n3\n4"}, {3, 1000, 100}, {"2\n3\n4"}, 2);
    row("CR LF one line end, lone CR another", {"1\r\n2\r3"}, {2, 1000, 100}, {"2\r3"}, 3);
    row("paragraph separator", {QStringLiteral("1\u20292"), "3"}, {2, 1000, 100}, {"2", "3"}, 2);
    row("frame marks end blocks too", {QStringLiteral("1\ufdd02\ufdd13")}, {2, 1000, 100},
        {QStringLiteral("2\ufdd13")}, 2);
    row("no half of a surrogate pair", {smiley}, {5000, 1000, 2}, {"b"}, 3);
}

// What the update lays out is the end of what laying out everything would leave, within
// every limit.
void ReceiveBatchingTest::floodLaysOutOnlyItsEnd()
{
    QFETCH(QStringList, queued);
    QFETCH(QVector<int>, limits);
    QFETCH(QStringList, laidOut);
    const ReceiveTail::Limits l{limits[0], limits[1], limits[2]};
    const ReceiveTail::Cut cut = ReceiveTail::tail(queued, l);
    QCOMPARE(cut.paragraphs, laidOut);
    QTEST(int(cut.droppedChars), "dropped");

    QTextDocument all;
    QTextDocument shown;
    for (QTextDocument *doc : {&all, &shown}) {
        doc->setMaximumBlockCount(l.maxBlocks);
        QTextCursor cursor(doc);
        for (const QString &paragraph : doc == &all ? queued : cut.paragraphs) {
            if (!doc->isEmpty())
                cursor.insertBlock();
            cursor.insertText(paragraph);
        }
    }
    QVERIFY(all.toPlainText().endsWith(shown.toPlainText()));
    for (const QString &paragraph : queued) {
        QTextDocument alone;
        QTextCursor(&alone).insertText(paragraph);
        QCOMPARE(ReceiveTail::blockCount(paragraph), alone.blockCount());
    }
    QVERIFY(shown.characterCount() - shown.blockCount() <=
            std::min(l.maxChars, l.maxCharsPerFlush));
    int blocks = 0;
    for (const QString &paragraph : cut.paragraphs)
        blocks += ReceiveTail::blockCount(paragraph);
    QCOMPARE(blocks, shown.isEmpty() ? 0 : shown.blockCount());
}

void ReceiveBatchingTest::boxKeepsItsCharacterCap_data()
{
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("left");
    // "aaaa", "bbbb", "cccc": 14 characters with the two paragraph breaks.
    QTest::newRow("under the cap") << 14 << "aaaa\nbbbb\ncccc";
    QTest::newRow("the oldest paragraph goes") << 9 << "bbbb\ncccc";
    QTest::newRow("whole paragraphs only") << 7 << "cccc";
    QTest::newRow("the newest alone too long") << 2 << "cc";
}

void ReceiveBatchingTest::boxKeepsItsCharacterCap()
{
    QFETCH(int, maxChars);
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("aaaa\nbbbb\ncccc"));
    ReceiveTail::trimFront(document, maxChars);
    QTEST(document.toPlainText(), "left");
}

QTEST_MAIN(ReceiveBatchingTest)
#include "tst_receivebatching.moc"
