// The figures the documents quote are the code's: a changed limit fails here until the
// tutorial and the README say it too.
#include "chart/pid_diagram.h"
#include "datafiles/csvcodec.h"

#include <QFile>
#include <QLocale>
#include <QtTest>

class TestDocs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void quotedLimits_data();
    void quotedLimits();
};

void TestDocs::quotedLimits_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("sentence");
    const QString megabytes = QString::number(CsvCodec::MaxFileBytes / (1024 * 1024));
    const QString rows = QString::number(CsvCodec::MaxRows);
    const auto &lengths = PID_Diagram::HistoryLengths;
    const auto n = [&lengths](std::size_t i) { return QString::number(lengths[i]); };
    static_assert(PID_Diagram::HistoryLengths.size() == 4, "the documents list four lengths");
    static_assert(PID_Diagram::HistoryLengths[0] == PID_Diagram::SampleCap, "the default first");
    QTest::newRow("tutorial: import limits")
        << "docs/tutorial.html"
        << QStringLiteral("超过 %1 MB 或超过 %2 行的文件不会导入").arg(megabytes, rows);
    QTest::newRow("tutorial.en: import limits")
        << "docs/tutorial.en.html"
        << QStringLiteral("Files over %1 MB or of more than %2 lines are not imported")
               .arg(megabytes, rows);
    QTest::newRow("tutorial: history lengths")
        << "docs/tutorial.html"
        << QStringLiteral("默认 %1 时，任一通道达到 %1 个采样").arg(n(0)) +
               QStringLiteral("，图表自动清空并从头开始（状态栏显示“已达%1点，图表已清空”）")
                   .arg(n(0));
    QTest::newRow("tutorial: longer lengths")
        << "docs/tutorial.html" << QStringLiteral("选 %1、%2 或 %3 时").arg(n(1), n(2), n(3));
    QTest::newRow("tutorial.en: history lengths")
        << "docs/tutorial.en.html"
        << QStringLiteral("at the default %1, once any channel holds %1 samples").arg(n(0));
    QTest::newRow("tutorial.en: longer lengths")
        << "docs/tutorial.en.html"
        << QStringLiteral("with %1, %2 or %3 the chart").arg(n(1), n(2), n(3));
    const QLocale english(QLocale::English);
    QTest::newRow("README: import limits")
        << "README.md"
        << QStringLiteral("%1 MB (%2 rows").arg(megabytes, english.toString(CsvCodec::MaxRows));
    QTest::newRow("README: history lengths")
        << "README.md" << QStringLiteral("%1 samples per channel (the default").arg(n(0));
}

void TestDocs::quotedLimits()
{
    QFETCH(QString, document);
    QFETCH(QString, sentence);
    QFile file(QStringLiteral(TAVRINO_SOURCE_DIR "/") + document);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(document));
    // Line breaks in the source text are spaces to a reader.
    const QString text = QString::fromUtf8(file.readAll()).simplified();
    QVERIFY2(text.contains(sentence), qPrintable(sentence));
}

QTEST_APPLESS_MAIN(TestDocs)
#include "tst_docs.moc"
