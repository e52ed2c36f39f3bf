#pragma once

#include "base/safefile.h"
#include "datafiles/csvcodec.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <memory>

class QIODevice;
class SampleStore;

// The chart's samples written to its data file in slices, straight from the sample store: the
// file is never built in memory, and between slices the window can hand the event loop back.
// The rows are those the store held at start(); samples arriving later are not part of the
// file. Should the store drop or clear rows not yet written (a history that dropped its oldest
// samples meanwhile), the export fails rather than write rows that were never held together.
// The old file is replaced whole or left as it was (SafeFile).
class StoreExport
{
    Q_DECLARE_TR_FUNCTIONS(StoreExport)

public:
    // Some 30 to 90 ms of writing on the development machine.
    static constexpr quint32 SliceRows = 50000;

    // The store is not owned and outlives the export.
    explicit StoreExport(const SampleStore &store);

    // Takes the rows the store holds now and opens `path`. False with the reason: a file the
    // import could not read back ("数据过多（超过N行）"), or SafeFile's texts.
    bool start(const QString &path, QString &error);
    // Writes the next slice of rows; false with the reason ("导出期间数据已变化", the disk's).
    bool writeSlice(QString &error);
    bool atEnd() const { return next == rows; }
    quint32 rowsWritten() const { return next; }
    quint32 rowCount() const { return rows; }
    // Puts the file in place once every row is written.
    bool commit(QString &error);
    // Leaves the old file as it was.
    void cancel() { file.reset(); }

    // Every row the store holds, to `out` at once.
    static bool write(QIODevice &out, const SampleStore &store);

private:
    bool stillHeld() const;

    const SampleStore &samples;
    std::unique_ptr<SafeFile> file;
    CsvCodec::SeriesLengths lengths{};
    std::array<quint64, CsvCodec::FieldCount> firsts{}; // sample number of each series' row 0
    std::array<quint64, CsvCodec::FieldCount> ends{};
    quint32 rows = 0;
    quint32 next = 0;
};
