#pragma once

#include <QObject>
#include <QString>

#include <array>

// The folder each kind of file dialog last used, so the next one of that kind opens there.
// Empty until a dialog of the kind succeeded (the dialog then starts where the platform
// chooses). Whoever keeps them across runs listens to changed().
class RecentFolders : public QObject
{
    Q_OBJECT

public:
    enum Kind { Import, Export, Recording, Capture, SendFile };
    static constexpr int KindCount = 5;

    explicit RecentFolders(QObject *parent = nullptr);

    // A short stable name for the kind ("import", "sendFile", ...), for settings keys.
    static QString name(Kind kind);

    QString folder(Kind kind) const { return folders[std::size_t(kind)]; }
    void setFolder(Kind kind, const QString &folder);
    // The folder of `filePath`, a file a dialog of `kind` chose.
    void rememberFile(Kind kind, const QString &filePath);
    // `folder` joined with `fileName`, or the name alone while none is known.
    QString suggest(Kind kind, const QString &fileName) const;

Q_SIGNALS:
    void changed(RecentFolders::Kind kind, const QString &folder);

private:
    std::array<QString, KindCount> folders;
};
