// The interface's language: which one a locale or --lang chooses, the catalogues installed for
// it, the documents in it, and the English catalogue itself, complete and in step with the
// sources (lupdate run over them into a scratch copy).
#include "app/interfacetranslation.h"
#include "app/language.h"
#include "serial/portsettings.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

namespace {
struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

QList<Message> readCatalogue(const QString &path, QString &error)
{
    QFile file(path);
    QList<Message> messages;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            Message m;
            m.context = context;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("source")) {
                    m.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    m.type = xml.attributes().value(QLatin1String("type")).toString();
                    m.translation = xml.readElementText();
                } else {
                    xml.skipCurrentElement();
                }
            }
            messages.append(m);
        }
    }
    if (xml.hasError())
        error = xml.errorString();
    return messages;
}

// Every entry has its English: none unfinished, left over or empty; the same placeholders as
// its source; no Chinese left in it; the spaces a joined text relies on kept.
QStringList catalogueFaults(const QList<Message> &messages)
{
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const QRegularExpression han(QStringLiteral("\\p{Han}"));
    const auto placeholders = [&](const QString &text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        std::sort(found.begin(), found.end());
        return found;
    };
    QStringList faults;
    for (const Message &m : messages) {
        const QString where = m.context + QLatin1String(": ") + m.source;
        if (!m.type.isEmpty())
            faults << m.type + QLatin1String(": ") + where;
        else if (m.translation.trimmed().isEmpty())
            faults << QLatin1String("empty: ") + where;
        else if (placeholders(m.source) != placeholders(m.translation))
            faults << QLatin1String("placeholders differ: ") + where;
        else if (m.translation.contains(han))
            faults << QLatin1String("Chinese left: ") + where;
        else if ((m.source.startsWith(QLatin1Char(' ')) &&
                  !m.translation.startsWith(QLatin1Char(' '))) ||
                 (m.source.endsWith(QLatin1Char(' ')) && !m.translation.endsWith(QLatin1Char(' '))))
            faults << QLatin1String("spaces lost: ") + where;
    }
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
    void catalogues();
    void catalogueComplete();
    void sourcesAllTranslated();
};

void TestTranslations::choice_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("options"); // the --lang values given
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    const auto row = [](const char *locale, const QStringList &options, bool valid,
                        Language::Code code) {
        const QString given =
            options.isEmpty() ? QStringLiteral("no --lang")
                              : QStringLiteral("--lang '%1'").arg(options.join(QLatin1Char(' ')));
        QTest::addRow("%s, %s", locale, qPrintable(given))
            << QString::fromLatin1(locale) << options << valid << int(code);
    };
    // QLocale::system() is C for LANG=C, LC_ALL=POSIX and no locale at all.
    for (const char *chinese : {"zh_CN", "zh_TW", "zh_HK", "zh_SG", "C"})
        row(chinese, {}, true, Language::Chinese);
    for (const char *other : {"en_US", "en_GB", "de_DE", "ja_JP", "fr_FR"})
        row(other, {}, true, Language::English);
    row("zh_CN", {"en"}, true, Language::English);
    row("C", {"en"}, true, Language::English);
    row("de_DE", {"zh"}, true, Language::Chinese);
    row("zh_TW", {"zh"}, true, Language::Chinese);
    row("en_US", {"zh", "en"}, true, Language::English);
    for (const char *typo : {"", "EN", "fr", "zh_CN", "english"})
        row("en_US", {QString::fromLatin1(typo)}, false, Language::English);
}

void TestTranslations::choice()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, options);
    QFETCH(bool, valid);
    Language::Code code = Language::English;
    QCOMPARE(Language::choose(QLocale(locale), options, code), valid);
    QTEST(int(code), "expected");
}

// The English version of a document where it exists, the one named otherwise.
void TestTranslations::documents()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"protocol.html", "protocol.en.html", "tutorial.html"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.en.html")));
    const QString protocol = dir.filePath(QStringLiteral("protocol.html"));
    const QString english = dir.filePath(QStringLiteral("protocol.en.html"));
    QCOMPARE(Language::documentPath(protocol, Language::English), english);
    QCOMPARE(Language::documentPath(protocol, Language::Chinese), protocol);
    for (const char *alone : {"tutorial.html", "folder.html", "missing.html", "notes.txt"}) {
        const QString path = dir.filePath(QLatin1String(alone));
        QCOMPARE(Language::documentPath(path, Language::English), path);
    }
    QUrl url = QUrl::fromLocalFile(protocol);
    url.setFragment(QStringLiteral("command"));
    QUrl englishUrl = QUrl::fromLocalFile(english);
    englishUrl.setFragment(QStringLiteral("command"));
    QCOMPARE(Language::documentUrl(url, Language::English), englishUrl);
    QCOMPARE(Language::documentUrl(url, Language::Chinese), url);
    const QUrl web(QStringLiteral("https://tavrino.example.org/tutorial.html"));
    QCOMPARE(Language::documentUrl(web, Language::English), web);
}

// English brings the interface's catalogue, Chinese only Qt's own; the texts follow and go
// back when the translation goes.
void TestTranslations::catalogues()
{
    const auto text = [] { return QCoreApplication::translate("MainWindow", "打开串口"); };
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    QCOMPARE(Language::current(), Language::Chinese);
    {
        InterfaceTranslation translation;
        QVERIFY(translation.install(Language::English));
        QCOMPARE(Language::current(), Language::English);
        QCOMPARE(text(), QStringLiteral("Open port"));
        QCOMPARE(cancel(), QStringLiteral("Cancel"));
        // The parity box shows English and is read back in either language.
        QCOMPARE(PortSettings::parityText(PortSettings::Parity::Odd), QStringLiteral("Odd"));
        for (const char *odd : {"Odd", "奇"}) {
            const PortSettings settings =
                PortSettings::fromTexts(QStringLiteral("9600"), QStringLiteral("8"),
                                        QString::fromUtf8(odd), QStringLiteral("1"));
            QCOMPARE(settings.parity, PortSettings::Parity::Odd);
        }

        QVERIFY2(translation.install(Language::Chinese),
                 qPrintable(InterfaceTranslation::qtCatalogueFolder() +
                            QStringLiteral(" lacks qtbase_zh_CN.qm: scripts/install-deps.sh")));
        QCOMPARE(Language::current(), Language::Chinese);
        QCOMPARE(text(), QStringLiteral("打开串口"));
        QCOMPARE(cancel(), QStringLiteral("取消"));
    }
    QCOMPARE(cancel(), QStringLiteral("Cancel"));
}

void TestTranslations::catalogueComplete()
{
    QString error;
    const QList<Message> messages = readCatalogue(QStringLiteral(TAVRINO_TS_FILE), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(messages.size() > 200);
    const QStringList faults = catalogueFaults(messages);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

// lupdate over the sources adds what is new as unfinished and marks what went as vanished:
// the committed catalogue must need neither (make update-translations, then translate).
void TestTranslations::sourcesAllTranslated()
{
    const QString lupdate = QStringLiteral(TAVRINO_LUPDATE);
    if (!QFileInfo(lupdate).isExecutable())
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("tavrino_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(TAVRINO_TS_FILE), copy));
    QProcess run;
    run.setWorkingDirectory(QStringLiteral(TAVRINO_SOURCE_DIR));
    run.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{QStringLiteral("-silent"), QStringLiteral("-locations"),
                          QStringLiteral("none"), QStringLiteral("-I"),
                          QStringLiteral(TAVRINO_SOURCE_DIR)};
    arguments << QStringLiteral(TAVRINO_TRANSLATED_DIRS).split(QLatin1Char(','))
              << QStringLiteral("-ts") << copy;
    run.start(lupdate, arguments);
    QVERIFY(run.waitForFinished(120000));
    QVERIFY2(run.exitCode() == 0, run.readAll().constData());
    QString error;
    const QList<Message> messages = readCatalogue(copy, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList faults = catalogueFaults(messages);
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("make update-translations, then:\n") +
                                          faults.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
