#include "app/pathini.h"

#include "base/safefile.h"

#include <QFile>

#include <limits>

PathIni::Contents PathIni::read(const QString &path)
{
    QFile file;
    QString error;
    Contents contents;
    // Any size: only the start is read.
    if (!SafeFile::openForReading(file, path, std::numeric_limits<qint64>::max(), error)) {
        contents.status = QFile::exists(path) ? Status::Broken : Status::Missing;
        return contents;
    }
    const QByteArray start = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        contents.status = Status::Broken;
        return contents;
    }
    return parse(start.left(int(MaxBytes)), start.size() <= MaxBytes);
}

PathIni::Contents PathIni::parse(const QByteArray &start, bool whole)
{
    Contents contents;
    int at = 0;
    while (contents.lines.size() < LinesUsed && at < start.size()) {
        int end = at;
        while (end < start.size() && start[end] != '\n' && start[end] != '\r')
            ++end;
        if (end == start.size() && !whole)
            break; // the line goes on past what was read
        contents.lines.append(QString::fromUtf8(start.constData() + at, end - at));
        at = end + 1;
        if (end + 1 < start.size() && start[end] == '\r' && start[end + 1] == '\n')
            ++at;
    }
    contents.status = contents.lines.size() == LinesUsed ? Status::Ok : Status::Broken;
    if (contents.status != Status::Ok)
        contents.lines.clear();
    return contents;
}

QString PathIni::statusText(Status status)
{
    switch (status) {
    case Status::Ok:
        break;
    case Status::Missing:
        return tr("打开失败,配置文件丢失，请重新安装软件");
    case Status::Broken:
        return tr("打开失败，配置文件损坏，请修改");
    }
    return QString();
}
