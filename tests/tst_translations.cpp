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
        return {path + ": " + file.errorString()};
    const QRegularExpression message("<source>(.*?)</source>(?:\\s*<(?:extra)?comment>.*?</"
                                     "(?:extra)?comment>)*\\s*<translation( type=\"\\w+\")?>(.*?)<",
                                     QRegularExpression::DotMatchesEverythingOption);
    const auto placeholders = [](const QString &text) {
        QStringList found;
        for (auto it = QRegularExpression("%\\d").globalMatch(text); it.hasNext();)
            found << it.next().captured();
        found.sort();
        return found;
    };
    QStringList faults;
    int count = 0;
    for (auto it = message.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext(); ++count) {
        const QRegularExpressionMatch m = it.next();
        const QString source = m.captured(1);
        const QString english = m.captured(3);
        if (!m.captured(2).isEmpty() || english.trimmed().isEmpty() ||
            english.contains(QRegularExpression("\\p{Han}")) ||
            placeholders(source) != placeholders(english) ||
            (source.startsWith(' ') && !english.startsWith(' ')))
            faults << source + " -> " + english + m.captured(2);
    }
    if (count < 200)
        faults << QString("only %1 messages").arg(count);
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
        QTest::addRow("%s, --lang '%s'", locale, qPrintable(options.join("' '")))
            << QString(locale) << options << valid << int(code);
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
    for (const char *typo : {"EN", "fr", "zh_CN", "english"})
        row("zh_TW", {typo}, Language::English, false);
}

void TestTranslations::choice()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, options);
    Language::Code code = Language::English;
    QTEST(Language::choose(QLocale(locale), options, code), "valid");
    QTEST(int(code), "expected");
}

// The English version of a document where it exists (a file), the one named otherwise.
void TestTranslations::documents()
{
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath("p.html")).open(QIODevice::WriteOnly));
    QVERIFY(QFile(dir.filePath("p.en.html")).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir("d.en.html"));
    const QUrl url(QUrl::fromLocalFile(dir.filePath("p.html")).toString() + "#ops");
    QCOMPARE(Language::documentUrl(url, Language::English).toString(),
             QUrl::fromLocalFile(dir.filePath("p.en.html")).toString() + "#ops");
    QCOMPARE(Language::documentUrl(url, Language::Chinese), url);
    for (const char *alone : {"d.html", "missing.html", "p.txt"})
        QCOMPARE(Language::documentPath(dir.filePath(alone), Language::English),
                 dir.filePath(alone));
    const QUrl web("https://tavrino.example.org/p.html");
    QCOMPARE(Language::documentUrl(web, Language::English), web);
}

// The committed catalogue is complete; lupdate over the sources adds what is new as unfinished
// and marks what went as vanished, so it must find nothing to do (make update-translations).
void TestTranslations::catalogue()
{
    QStringList faults = catalogueFaults(TAVRINO_TS_FILE);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    if (!QFileInfo(TAVRINO_LUPDATE).isExecutable())
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    const QString copy = dir.filePath("tavrino_en.ts");
    QVERIFY(QFile::copy(TAVRINO_TS_FILE, copy));
    QProcess run;
    run.setWorkingDirectory(TAVRINO_SOURCE_DIR);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(TAVRINO_LUPDATE,
              QStringList{"-silent", "-locations", "none", "-I", TAVRINO_SOURCE_DIR}
                  << QString(TAVRINO_TRANSLATED_DIRS).split(',') << "-ts" << copy);
    QVERIFY(run.waitForFinished(120000));
    QVERIFY2(run.exitCode() == 0, run.readAll().constData());
    faults = catalogueFaults(copy);
    QVERIFY2(faults.isEmpty(), qPrintable("make update-translations, then:\n" + faults.join('\n')));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
