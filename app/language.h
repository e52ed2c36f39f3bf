#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QUrl>

// The interface's language. Every text in the sources is Chinese; English comes from the
// translation catalogue. The desktop's locale chooses (Chinese for every Chinese locale and
// for C/POSIX, where no language is set), --lang zh|en overrides.
class Language
{
    Q_DECLARE_TR_FUNCTIONS(Language)

public:
    enum Code { Chinese, English };

    static Code forLocale(const QLocale &locale);
    // "zh" or "en", as --lang takes them; false for anything else.
    static bool fromName(const QString &name, Code &code);
    // The locale's language, or that of the last --lang value given; false for a value that
    // names no language.
    static bool choose(const QLocale &system, const QStringList &options, Code &code);
    // The language of the catalogue installed now: each catalogue translates the marker to
    // its own language's name, so with none installed it is Chinese.
    static Code current();

    // A document in `code`: for English, "name.en.html" beside "name.html" where that file
    // exists. URLs of other schemes, and documents without an English version, stay as they
    // are.
    static QString documentPath(const QString &path, Code code);
    static QUrl documentUrl(const QUrl &url, Code code);
};
