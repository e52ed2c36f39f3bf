#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// path.ini beside the program: its first three lines name the web page, the tutorial page and
// the protocol document. Only the start of the file is read, so a runaway file (hundreds of
// megabytes on one line) costs no more than a good one.
class PathIni
{
    Q_DECLARE_TR_FUNCTIONS(PathIni)

public:
    static constexpr int LinesUsed = 3;
    // Far more than three paths need.
    static constexpr qint64 MaxBytes = 64 * 1024;

    enum class Status { Ok, Missing, Broken };
    struct Contents
    {
        Status status = Status::Missing;
        QStringList lines; // the first LinesUsed lines when Ok
    };

    // Reads at most MaxBytes of the file at `path`. A special file (a FIFO) is not opened.
    static Contents read(const QString &path);
    // The first LinesUsed lines of the start of a file, decoded as UTF-8; a line ends at LF,
    // CR LF or CR. `whole` says whether `start` is the whole file: otherwise a line running
    // into its end is cut, not complete.
    static Contents parse(const QByteArray &start, bool whole);
    // "打开失败,配置文件丢失，请重新安装软件", "打开失败，配置文件损坏，请修改"; null for Ok.
    static QString statusText(Status status);
};
