// The serial assistant's receive box: what each arrival shows, batching on a busy line with
// nothing lost or reordered, the scrollback, clearing, a new session, and saving; a flood
// lays out only its newest part (ReceiveTail), and the box keeps to its character cap.
#include "assistant/receivelog.h"
#include "assistant/receivetail.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QElapsedTimer>
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
    void scrollbackCutInOneGo_data();
    void scrollbackCutInOneGo();
    void clearDropsWaitingArrivals();
    void resetForgetsHeldCharacter();
    void save();
    void stampFollowsTheSecond();
    void floodLaysOutOnlyItsEnd_data();
    void floodLaysOutOnlyItsEnd();
    void boxKeepsItsCharacterCap_data();
    void boxKeepsItsCharacterCap();
    void floodThroughTheBox();

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
    QElapsedTimer clock;
    clock.start();
    QStringList expected;
    for (int i = 0; i < arrivals; ++i) {
        const QByteArray chunk = QByteArray::number(i, 36);
        expected << QString::fromLatin1(chunk);
        log->append(chunk, false, false, QTime());
        if (i == 0)
            QCOMPARE(shown(), expected.first());
    }
    QTRY_COMPARE(log->queued(), 0);
    // Batched: the first arrival, then at most one update an interval, however slow the
    // machine made the appends.
    const qint64 intervals = clock.elapsed() / ReceiveLog::FlushIntervalMs;
    QVERIFY2(updates.count() <= 2 + intervals, qPrintable(QString::number(updates.count())));
    // The newest, as many as the scrollback or, when a slow machine spread them over
    // several updates, up to its margin more.
    const int count = box->document()->blockCount();
    QVERIFY(count >= std::min(arrivals, int(ReceiveLog::Scrollback)));
    QVERIFY(count <= ReceiveLog::Scrollback + ReceiveTail::Limits{}.blockMargin);
    QCOMPARE(shown(), expected.mid(std::max(0, arrivals - count)).join(QLatin1Char('\n')));
    QVERIFY(!box->document()->isUndoRedoEnabled());
}

void ReceiveLogTest::scrollbackCutInOneGo_data()
{
    QTest::addColumn<int>("updates"); // of 1,000 paragraphs each
    QTest::addColumn<int>("kept");
    const int most = ReceiveLog::Scrollback + ReceiveTail::Limits{}.blockMargin;
    QTest::newRow("within the margin") << most / 1000 << most / 1000 * 1000;
    QTest::newRow("past it: back to the scrollback") << most / 1000 + 1 << ReceiveLog::Scrollback;
    QTest::newRow("and on from there") << most / 1000 + 2 << ReceiveLog::Scrollback + 1000;
}

// The box keeps the newest paragraphs, however many updates brought them.
void ReceiveLogTest::scrollbackCutInOneGo()
{
    QFETCH(int, updates);
    QFETCH(int, kept);
    // One arrival of 1,000 lines per update: a slow machine cannot split it across two.
    QStringList expected;
    for (int u = 0; u < updates; ++u) {
        QStringList lines;
        for (int i = 0; i < 1000; ++i)
            lines << QString::number(u * 1000 + i);
        expected << lines;
        log->append(lines.join(QLatin1Char('\n')).toLatin1(), false, false, QTime());
        log->flush();
    }
    QCOMPARE(box->document()->blockCount(), kept);
    QCOMPARE(shown(), expected.mid(expected.size() - kept).join(QLatin1Char('\n')));
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

// The stamp is formatted once a second; arrivals within it share it, the next second gets its own.
void ReceiveLogTest::stampFollowsTheSecond()
{
    ReceiveFormatter formatter;
    const QTime times[] = {QTime(14, 3, 9, 100), QTime(14, 3, 9, 999), QTime(14, 3, 10), QTime(),
                           QTime(14, 3, 10, 500)};
    QStringList shown;
    for (const QTime &time : times)
        shown << formatter.format("x", false, true, time);
    QCOMPARE(shown, QStringList({"14时3分9秒:x", "14时3分9秒:x", "14时3分10秒:x",
                                 ReceiveFormatter::timeStamp(QTime()) + "x", "14时3分10秒:x"}));
}

void ReceiveLogTest::floodLaysOutOnlyItsEnd_data()
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
void ReceiveLogTest::floodLaysOutOnlyItsEnd()
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

void ReceiveLogTest::boxKeepsItsCharacterCap_data()
{
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("left");
    // "aaaa", "bbbb", "cccc": 14 characters with the two paragraph breaks.
    QTest::newRow("under the cap") << 14 << "aaaa\nbbbb\ncccc";
    QTest::newRow("the oldest paragraph goes") << 9 << "bbbb\ncccc";
    QTest::newRow("whole paragraphs only") << 7 << "cccc";
    QTest::newRow("the newest alone too long") << 2 << "cc";
}

void ReceiveLogTest::boxKeepsItsCharacterCap()
{
    QFETCH(int, maxChars);
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("aaaa\nbbbb\ncccc"));
    ReceiveTail::trimFront(document, maxChars);
    QTEST(document.toPlainText(), "left");
}

// Text without line ends: an update lays out only the end of what waits, and the box keeps
// to its character cap however many updates come.
void ReceiveLogTest::floodThroughTheBox()
{
    const ReceiveTail::Limits limits;
    const QByteArray arrival = QByteArray(100000, 'x') + "END";
    log->append(arrival, false, false, QTime());
    QCOMPARE(shown(), QString(limits.maxCharsPerFlush - 3, QLatin1Char('x')) + "END");
    for (int i = 0; i < limits.maxChars / limits.maxCharsPerFlush + 5; ++i) {
        log->append(arrival, false, false, QTime());
        log->flush();
    }
    const int characters = box->document()->characterCount() - 1;
    QVERIFY2(characters <= limits.maxChars &&
                 characters > limits.maxChars - limits.charMargin - limits.maxCharsPerFlush,
             qPrintable(QString::number(characters)));
    QVERIFY(shown().endsWith("xEND"));
}

QTEST_MAIN(ReceiveLogTest)
#include "tst_receivelog.moc"
