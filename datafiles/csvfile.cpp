#include "datafiles/csvfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

CsvFile::Imported CsvFile::read(const QString &path)
{
    Imported result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::Unreadable;
        result.error = file.errorString();
        return result;
    }
    if (file.size() > CsvCodec::MaxImportBytes) {
        result.status = Status::TooLarge;
        return result;
    }
    // One byte past the limit, so that a file growing meanwhile, or a device without a size,
    // is caught as well.
    const QByteArray bytes = file.read(CsvCodec::MaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.status = Status::Unreadable;
        result.error = file.errorString();
        return result;
    }
    result.decoded = CsvCodec::decode(bytes);
    switch (result.decoded.status) {
    case CsvCodec::Status::TooLarge:
        result.status = Status::TooLarge;
        break;
    case CsvCodec::Status::TooManyLines:
        result.status = Status::TooManyLines;
        break;
    case CsvCodec::Status::Ok:
        break;
    }
    return result;
}

bool CsvFile::write(const QString &path, const QByteArray &bytes, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        // A device, or a link to one: no old file to keep, no folder to write beside it.
        QFile file(path);
        // A full disk shows up only when the buffered bytes are flushed.
        const bool written =
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
        error = file.errorString();
        return written;
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    const bool written = file.commit();
    error = file.errorString();
    return written;
}
