// The serial assistant's receive box: what each arrival shows, batching on a busy line with
// nothing lost or reordered, the scrollback, clearing, a new session, and saving.
#include "assistant/receivelog.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTime>
#include <QtTest>

#include <memory>

namespace {
using Chunks = QList<QByteArray>;
} // namespace

class ReceiveLogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void shows_data();
    void shows();
    void burstArrivesWholeAndInOrder_data();
    void burstArrivesWholeAndInOrder();
    void floodKeepsOnlyWhatFits_data();
    void floodKeepsOnlyWhatFits();
    void clearDropsWaitingArrivals();
    void resetForgetsHeldCharacter();
    void save();

private:
    QString shown() const { return box->toPlainText(); }

    std::unique_ptr<QTextEdit> box;
    std::unique_ptr<ReceiveLog> log;
};

void ReceiveLogTest::init()
{
    log.reset();
    box = std::make_unique<QTextEdit>();
    box->setReadOnly(true);
    log = std::make_unique<ReceiveLog>(box.get());
}

void ReceiveLogTest::shows_data()
{
    QTest::addColumn<Chunks>("arrivals");
    QTest::addColumn<QList<bool>>("hex"); // per arrival
    QTest::addColumn<QTime>("time");      // null: not stamped
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const Chunks &arrivals, const QList<bool> &hex,
                        const QTime &time, const QString &text) {
        QTest::newRow(name) << arrivals << hex << time << text;
    };
    row("stamped text", {"OK"}, {false}, QTime(14, 3, 9), "14时3分9秒:OK");
    row("stamped hex, no leading zeros", {"OK"}, {true}, QTime(9, 5, 7), "9时5分7秒:4f 4b");
    row("midnight", {"x"}, {false}, QTime(0, 0, 0), "0时0分0秒:x");
    row("zero byte", {QByteArray("A\0B", 3)}, {false}, QTime(), QString::fromUtf8("A\0B", 3));
    // A character cut by a read shows whole with the arrival that completes it.
    row("split character", {"A\xe4\xbd", "\xa0!"}, {false, false}, QTime(), "A\n你!");
    row("four bytes over three arrivals", {"\xf0\x9f", "\x98", "\x80!"}, {false, false, false},
        QTime(), QString::fromUtf8("\xf0\x9f\x98\x80!"));
    row("broken sequence", {"\xe4\xbd", "A"}, {false, false}, QTime(), "\ufffd\ufffdA");
    row("bytes that start no character shown at once", {"a\x80", "b\xff"}, {false, false}, QTime(),
        "a\ufffd\nb\ufffd");
    row("held bytes shown in hex after a mode switch", {"A\xe4", "\xbd"}, {false, true}, QTime(),
        "A\ne4 bd");
    row("html-looking text stays text", {"<b>bold</b> &amp; <br>"}, {false}, QTime(),
        "<b>bold</b> &amp; <br>");
    row("mode switch keeps earlier paragraphs", {"hi", "hi", "!"}, {false, true, true}, QTime(),
        "hi\n68 69\n21");
}

void ReceiveLogTest::shows()
{
    QFETCH(Chunks, arrivals);
    QFETCH(QList<bool>, hex);
    QFETCH(QTime, time);
    for (int i = 0; i < arrivals.size(); ++i)
        log->append(arrivals.at(i), hex.at(i), time.isValid(), time);
    log->flush();
    QTEST(shown(), "text");
}

void ReceiveLogTest::burstArrivesWholeAndInOrder_data()
{
    QTest::addColumn<int>("arrivals");
    QTest::newRow("a few") << 5;
    QTest::newRow("a burst") << 3000;
    QTest::newRow("more than the box keeps") << 20000;
}

// The first arrival shows at once, the rest of a burst within one interval, each its own
// paragraph; of more than the box keeps, the newest.
void ReceiveLogTest::burstArrivesWholeAndInOrder()
{
    QFETCH(int, arrivals);
    QSignalSpy updates(box->document(), &QTextDocument::contentsChanged);
    QStringList expected;
    for (int i = 0; i < arrivals; ++i) {
        const QByteArray chunk = QByteArray::number(i, 36);
        expected << QString::fromLatin1(chunk);
        log->append(chunk, false, false, QTime());
        if (i == 0)
            QCOMPARE(shown(), expected.first());
    }
    QTRY_COMPARE_WITH_TIMEOUT(log->queued(), 0, 5 * ReceiveLog::FlushIntervalMs);
    QVERIFY2(updates.count() <= 2 + arrivals / 100, qPrintable(QString::number(updates.count())));
    const QStringList kept = expected.mid(std::max(0, arrivals - ReceiveLog::Scrollback));
    QCOMPARE(shown(), kept.join(QLatin1Char('\n')));
    QVERIFY(!box->document()->isUndoRedoEnabled());
}

void ReceiveLogTest::floodKeepsOnlyWhatFits_data()
{
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("first");
    QTest::newRow("exactly the limit") << QStringList{"a", "b", "c"} << 3 << 0;
    QTest::newRow("one too many") << QStringList{"a", "b", "c", "d"} << 3 << 1;
    // "b\nc" is two blocks: with "d" that makes three, so "a" goes.
    QTest::newRow("line ends count") << QStringList{"a", "b\nc", "d"} << 3 << 1;
    // The newest paragraph alone overflows: it is kept, the box keeps its end.
    QTest::newRow("one paragraph overflows") << QStringList{"a", "1\n2\n3\n4"} << 3 << 1;
    QTest::newRow("paragraph separator")
        << QStringList{"a", QString(QChar::ParagraphSeparator), "c"} << 3 << 1;
}

// A flood adds only the paragraphs that can still be among the newest; that leaves what
// adding them all leaves.
void ReceiveLogTest::floodKeepsOnlyWhatFits()
{
    QFETCH(QStringList, paragraphs);
    QFETCH(int, limit);
    QFETCH(int, first);
    QCOMPARE(ReceiveFormatter::firstKept(paragraphs, limit), first);
    QTextDocument all;
    QTextDocument kept;
    for (QTextDocument *doc : {&all, &kept}) {
        doc->setMaximumBlockCount(limit);
        QTextCursor cursor(doc);
        for (int i = doc == &kept ? first : 0; i < paragraphs.size(); ++i) {
            cursor.movePosition(QTextCursor::End);
            if (!doc->isEmpty())
                cursor.insertBlock();
            cursor.insertText(paragraphs.at(i));
        }
    }
    QCOMPARE(kept.toPlainText(), all.toPlainText());
}

// Arrivals waiting for the next update came before the click.
void ReceiveLogTest::clearDropsWaitingArrivals()
{
    log->append("shown", false, false, QTime());
    log->append("waiting", false, false, QTime());
    QCOMPARE(log->queued(), 1);
    log->clear();
    QCOMPARE(log->queued(), 0);
    QTest::qWait(3 * ReceiveLog::FlushIntervalMs);
    QCOMPARE(shown(), QString());
    log->append("after", false, false, QTime());
    log->flush();
    QCOMPARE(shown(), QStringLiteral("after"));
}

// A character cut off by the end of one session is not completed by the next one's bytes.
void ReceiveLogTest::resetForgetsHeldCharacter()
{
    log->append("\xe4\xbd", false, false, QTime());
    log->reset();
    log->append("\xa0!", false, false, QTime());
    log->flush();
    QCOMPARE(shown(), QStringLiteral("\ufffd!"));
}

void ReceiveLogTest::save()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datas.txt"));
    QVERIFY(writeFile(path, "stale content that is longer than what is saved"));
    log->append("9", false, false, QTime());
    log->append("你好", false, true, QTime(9, 5, 7)); // still waiting
    QString error;
    QVERIFY(log->saveTo(path, error));
    QCOMPARE(readFile(path), QStringLiteral("9\n9时5分7秒:你好").toUtf8());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    QVERIFY(!log->saveTo(dir.filePath(QStringLiteral("taken")), error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(ReceiveLogTest)
#include "tst_receivelog.moc"
