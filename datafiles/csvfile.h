#pragma once

#include "datafiles/csvcodec.h"

#include <QString>

// The chart's data file on disk: an import read whole within the codec's limits, an export
// that never costs the file it replaces.
class CsvFile
{
public:
    enum class Status { Ok, Unreadable, TooLarge, TooManyLines };

    struct Imported
    {
        Status status = Status::Ok;
        CsvCodec::Decoded decoded; // only with Ok
        QString error;             // why the file could not be read
    };

    // A regular file larger than CsvCodec::MaxImportBytes is refused before it is read.
    static Imported read(const QString &path);

    // Writes beside the old file and puts the new one in its place only once all of it is on
    // disk. Where no new file can be made beside it (a folder closed to new files) an existing
    // file is written in place, and a device is always written directly.
    static bool write(const QString &path, const QByteArray &bytes, QString &error);
};
