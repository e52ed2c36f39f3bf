// The interface's language: which one a locale or --lang chooses, the documents in it, and the
// English catalogue, complete and in step with the sources (lupdate run into a scratch copy).
#include "app/language.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Entries of a catalogue that are unfinished, left over (vanished, obsolete) or empty, that
// lost a placeholder or the leading space a joined text needs, or that still hold Chinese.
QStringList catalogueFaults(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {path + QStringLiteral(": ") + file.errorString()};
    const QString ts = QString::fromUtf8(file.readAll());
    const QRegularExpression message(QStringLiteral("<source>(.*?)</source>(?:\\s*<(?:extra)?"
                                                    "comment>.*?</(?:extra)?comment>)*\\s*"
                                                    "<translation( type=\"\\w+\")?>(.*?)<"),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const auto placeholders = [&](const QString &text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        found.sort();
        return found;
    };
    QStringList faults;
    int count = 0;
    for (auto it = message.globalMatch(ts); it.hasNext(); ++count) {
        const QRegularExpressionMatch m = it.next();
        const QString source = m.captured(1);
        const QString english = m.captured(3);
        if (!m.captured(2).isEmpty() || english.trimmed().isEmpty() ||
            english.contains(QRegularExpression(QStringLiteral("\\p{Han}"))) ||
            placeholders(source) != placeholders(english) ||
            (source.startsWith(QLatin1Char(' ')) && !english.startsWith(QLatin1Char(' '))))
            faults << source + QStringLiteral(" -> ") + english + m.captured(2);
    }
    if (count < 200)
        faults << QStringLiteral("only %1 messages").arg(count);
    return faults;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choice_data();
    void choice();
    void documents();
    void catalogue();
};

void TestTranslations::choice_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("options"); // the --lang values given
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    const auto row = [](const char *locale, const QStringList &options, Language::Code code,
                        bool valid = true) {
        QTest::addRow("%s, %s", locale,
                      options.isEmpty() ? "no --lang"
                                        : qPrintable("--lang '" + options.join("' '") + "'"))
            << QString::fromLatin1(locale) << options << valid << int(code);
    };
    // QLocale::system() is C for LANG=C, LC_ALL=POSIX and no locale at all.
    for (const char *chinese : {"zh_CN", "zh_TW", "zh_HK", "zh_SG", "C"})
        row(chinese, {}, Language::Chinese);
    for (const char *other : {"en_US", "en_GB", "de_DE", "ja_JP"})
        row(other, {}, Language::English);
    row("zh_CN", {"en"}, Language::English);
    row("C", {"en"}, Language::English);
    row("de_DE", {"zh"}, Language::Chinese);
    row("en_US", {"zh", "en"}, Language::English);
    for (const char *typo : {"EN", "fr", "zh_CN", ""})
        row("zh_CN", {QString::fromLatin1(typo)}, Language::English, false);
}

void TestTranslations::choice()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, options);
    Language::Code code = Language::English;
    QTEST(Language::choose(QLocale(locale), options, code), "valid");
    QTEST(int(code), "expected");
}

// The English version of a document where it exists, the one named otherwise.
void TestTranslations::documents()
{
    QTemporaryDir dir;
    for (const char *name : {"p.html", "p.en.html", "t.html"})
        QVERIFY(QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("d.en.html")));
    const QString protocol = dir.filePath(QStringLiteral("p.html"));
    QCOMPARE(Language::documentPath(protocol, Language::English), dir.filePath("p.en.html"));
    QCOMPARE(Language::documentPath(protocol, Language::Chinese), protocol);
    for (const char *alone : {"t.html", "d.html", "missing.html", "p.txt"})
        QCOMPARE(Language::documentPath(dir.filePath(alone), Language::English),
                 dir.filePath(alone));
    const QUrl url(QUrl::fromLocalFile(protocol).toString() + QStringLiteral("#ops"));
    QCOMPARE(Language::documentUrl(url, Language::English).toString(),
             QUrl::fromLocalFile(dir.filePath("p.en.html")).toString() + QStringLiteral("#ops"));
    const QUrl web(QStringLiteral("https://tavrino.example.org/p.html"));
    QCOMPARE(Language::documentUrl(web, Language::English), web);
}

// The committed catalogue is complete; lupdate over the sources adds what is new as unfinished
// and marks what went as vanished, so it must find nothing to do (make update-translations).
void TestTranslations::catalogue()
{
    QStringList faults = catalogueFaults(QStringLiteral(TAVRINO_TS_FILE));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    const QString lupdate = QStringLiteral(TAVRINO_LUPDATE);
    if (!QFileInfo(lupdate).isExecutable())
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("tavrino_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(TAVRINO_TS_FILE), copy));
    QProcess run;
    run.setWorkingDirectory(QStringLiteral(TAVRINO_SOURCE_DIR));
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(lupdate, QStringList{"-silent", "-locations", "none", "-I", TAVRINO_SOURCE_DIR}
                           << QStringLiteral(TAVRINO_TRANSLATED_DIRS).split(QLatin1Char(','))
                           << "-ts" << copy);
    QVERIFY(run.waitForFinished(120000));
    QVERIFY2(run.exitCode() == 0, run.readAll().constData());
    faults = catalogueFaults(copy);
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("make update-translations, then:\n") +
                                          faults.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
