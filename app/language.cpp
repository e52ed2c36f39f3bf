#include "app/language.h"

#include <QFileInfo>

Language::Code Language::forLocale(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Chinese:
    case QLocale::C:
        return Chinese;
    default:
        return English;
    }
}

bool Language::fromName(const QString &name, Code &code)
{
    if (name == QLatin1String("zh"))
        code = Chinese;
    else if (name == QLatin1String("en"))
        code = English;
    else
        return false;
    return true;
}

bool Language::choose(const QLocale &system, const QStringList &options, Code &code)
{
    if (!options.isEmpty())
        return fromName(options.last(), code);
    code = forLocale(system);
    return true;
}

Language::Code Language::current()
{
    //: The language of this catalogue as --lang names it: zh or en.
    const QString name = tr("zh");
    Code code = Chinese;
    fromName(name, code);
    return code;
}

QString Language::documentPath(const QString &path, Code code)
{
    const QLatin1String html(".html");
    if (code == Chinese || !path.endsWith(html))
        return path;
    const QString english = path.left(path.size() - html.size()) + QLatin1String(".en") + html;
    return QFileInfo(english).isFile() ? english : path;
}

QUrl Language::documentUrl(const QUrl &url, Code code)
{
    if (!url.isLocalFile())
        return url;
    const QString path = url.toLocalFile();
    const QString chosen = documentPath(path, code);
    if (chosen == path)
        return url;
    QUrl english = QUrl::fromLocalFile(chosen);
    english.setFragment(url.fragment());
    return english;
}
