#include "datafiles/recentfolders.h"

#include <QDir>
#include <QFileInfo>

RecentFolders::RecentFolders(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("recentFolders"));
}

QString RecentFolders::name(Kind kind)
{
    static_assert(KindCount == 5, "a name for every kind");
    switch (kind) {
    case Import:
        return QStringLiteral("import");
    case Export:
        return QStringLiteral("export");
    case Recording:
        return QStringLiteral("recording");
    case Capture:
        return QStringLiteral("capture");
    case SendFile:
        return QStringLiteral("sendFile");
    }
    return QString();
}

void RecentFolders::setFolder(Kind kind, const QString &folder)
{
    QString &held = folders[std::size_t(kind)];
    if (held == folder)
        return;
    held = folder;
    Q_EMIT changed(kind, folder);
}

void RecentFolders::rememberFile(Kind kind, const QString &filePath)
{
    if (!filePath.isEmpty())
        setFolder(kind, QFileInfo(filePath).absolutePath());
}

QString RecentFolders::suggest(Kind kind, const QString &fileName) const
{
    const QString held = folder(kind);
    return held.isEmpty() ? fileName : QDir(held).filePath(fileName);
}
