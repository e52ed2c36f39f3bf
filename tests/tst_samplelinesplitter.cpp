// String mode without widgets: lines, fields and read boundaries.
#include "pidlink/samplelinesplitter.h"

#include <QtTest>

namespace {
QString describe(const SampleLineSplitter::Event &e)
{
    switch (e.type) {
    case SampleLineSplitter::Event::Line: {
        QStringList parts;
        for (float v : e.values)
            parts << QString::number(double(v));
        return QLatin1Char('L') + parts.join(QLatin1Char(','));
    }
    case SampleLineSplitter::Event::Malformed:
        return QStringLiteral("M:") + e.text;
    case SampleLineSplitter::Event::Overlong:
        return QStringLiteral("O");
    }
    return QString();
}

using Chunks = QList<QByteArray>;
} // namespace

class TestSampleLineSplitter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
    void splitAnywhere();
};

void TestSampleLineSplitter::lines_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("pending");

    const QByteArray ok = "1,2,3,4,5,6,7,8\n";
    const QString eOk = QStringLiteral("L1,2,3,4,5,6,7,8");
    const QByteArray longText(SampleLineSplitter::MaxLineLength, '7');

    QTest::newRow("valid") << Chunks{ok} << QStringList{eOk} << 0;
    QTest::newRow("seven fields") << Chunks{"1,2,3,4,5,6,7\n"} << QStringList{"M:1,2,3,4,5,6,7"}
                                  << 0;
    QTest::newRow("nine fields") << Chunks{"1,2,3,4,5,6,7,8,9\n"} << QStringList{eOk} << 0;
    QTest::newRow("empty field") << Chunks{"1,,3,4,5,6,7,8\n"} << QStringList{"L1,0,3,4,5,6,7,8"}
                                 << 0;
    QTest::newRow("CR LF") << Chunks{"1,2,3,4,5,6,7,8\r\n"} << QStringList{eOk} << 0;
    QTest::newRow("white space and decimals") << Chunks{" 1.5 ,\t-2.25, 0 ,1e3,5,6,7,  8  \n"}
                                              << QStringList{"L1.5,-2.25,0,1000,5,6,7,8"} << 0;
    QTest::newRow("not numbers give 0")
        << Chunks{"x,1;2,3,4,5,6,7,1e99\n"} << QStringList{"L0,0,3,4,5,6,7,0"} << 0;
    QTest::newRow("comma decimal is not C locale")
        << Chunks{"1,5;2,3,4,5,6,7,8\n"} << QStringList{"L1,0,3,4,5,6,7,8"} << 0;
    QTest::newRow("several in one read")
        << Chunks{ok + "8,7,6,5,4,3,2,1\n" + ok} << QStringList{eOk, "L8,7,6,5,4,3,2,1", eOk} << 0;
    QTest::newRow("line and the start of the next") << Chunks{ok + "9,9"} << QStringList{eOk} << 3;
    QTest::newRow("split over reads")
        << Chunks{"1,2,3", ",4,5,6,7", ",8\n"} << QStringList{eOk} << 0;
    QTest::newRow("empty line") << Chunks{"\n" + ok} << QStringList{"M:", eOk} << 0;
    QTest::newRow("malformed between good lines")
        << Chunks{ok + "1,2,3\n" + ok} << QStringList{eOk, "M:1,2,3", eOk} << 0;
    QTest::newRow("UTF-8 split inside a character")
        << Chunks{"温", "\xe5\xba", "\xa6,1\n"} << QStringList{QStringLiteral("M:温度,1")} << 0;
    QTest::newRow("line of exactly the limit")
        << Chunks{longText + "\n"} << QStringList{"M:" + QString::fromLatin1(longText)} << 0;
    QTest::newRow("over-long in one read")
        << Chunks{longText + "7\n" + ok} << QStringList{"O", eOk} << 0;
    QTest::newRow("over-long over reads, then a line")
        << Chunks{longText, "77", "77", ",8\n" + ok} << QStringList{"O", eOk} << 0;
    QTest::newRow("over-long without an end keeps nothing")
        << Chunks{longText, longText, "1,2"} << QStringList{"O"} << 0;
}

void TestSampleLineSplitter::lines()
{
    QFETCH(Chunks, chunks);
    QFETCH(QStringList, events);
    QFETCH(int, pending);

    SampleLineSplitter splitter;
    std::vector<SampleLineSplitter::Event> out;
    for (const QByteArray &chunk : chunks)
        splitter.feed(chunk, out);
    QStringList got;
    for (const SampleLineSplitter::Event &e : out)
        got << describe(e);
    QCOMPARE(got, events);
    QCOMPARE(splitter.pendingLength(), pending);
}

// The same text cut into reads of every size gives the same events and counters.
void TestSampleLineSplitter::splitAnywhere()
{
    const QByteArray text =
        "1,2,3,4,5,6,7,8\r\n温度,1\n" + QByteArray(5000, '1') + "\n" + "-1,-2,-3,-4,-5,-6,-7,-8\n";
    SampleLineSplitter whole;
    std::vector<SampleLineSplitter::Event> expected;
    whole.feed(text, expected);
    QCOMPARE(int(expected.size()), 4);

    for (int step = 1; step <= 23; ++step) {
        SampleLineSplitter splitter;
        std::vector<SampleLineSplitter::Event> out;
        for (int pos = 0; pos < text.size(); pos += step)
            splitter.feed(text.constData() + pos, qMin(step, text.size() - pos), out);
        QCOMPARE(out.size(), expected.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            QCOMPARE(describe(out[i]), describe(expected[i]));
        QCOMPARE(splitter.health().lines, whole.health().lines);
        QCOMPARE(splitter.health().malformed, whole.health().malformed);
        QCOMPARE(splitter.health().dropped, whole.health().dropped);
    }
    QCOMPARE(whole.health().lines, quint64(2));
    QCOMPARE(whole.health().malformed, quint64(1));
    QCOMPARE(whole.health().dropped, quint64(5000));
}

QTEST_APPLESS_MAIN(TestSampleLineSplitter)
#include "tst_samplelinesplitter.moc"
