// The receive box under a busy line: arrivals are shown in batches, each still its own
// paragraph, none lost, none reordered, and only the newest 5000 kept.
#include "assistant/receiveformatter.h"
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

QTEST_MAIN(ReceiveBatchingTest)
#include "tst_receivebatching.moc"
