#pragma once

#include "datafiles/csvdecoder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QVector>

// A data file read in slices for an import, so the window can hand the event loop back
// between them: the chart's CSV export (eight values a row, see CsvCodec) or a recording
// (RecordingCodec, recognised by its header row). Only a regular file of at most
// CsvCodec::MaxFileBytes is read (SafeFile). Memory stays that of one slice and its samples.
class SampleFileReader
{
    Q_DECLARE_TR_FUNCTIONS(SampleFileReader)

public:
    enum class Format { Csv, Recording };
    struct Sample
    {
        int channel; // 0..3
        float actual;
        float target;
    };

    // Some 16,000 rows of an export: tens of milliseconds to decode and plot.
    static constexpr qint64 SliceBytes = 1024 * 1024;
    // No line of either format comes near this; a longer one is skipped without being held.
    static constexpr int MaxLineBytes = CsvCodec::MaxLineBytes;

    // Slices of `sliceBytes`; smaller ones only to check that slicing changes nothing (the
    // first slice must hold the first line, by which the format is told).
    explicit SampleFileReader(qint64 sliceBytes = SliceBytes) : slice(sliceBytes) {}

    // False with the reason: SafeFile's texts ("不是普通文件", "文件过大（超过1200 MB）") or the
    // system's.
    bool open(const QString &path, QString &error);
    // Appends the samples of the lines the next slice completes, in file order (a CSV row
    // gives channels 1 to 4 in turn). False with the reason when the file cannot be read on
    // or breaks a limit; the samples before that were delivered.
    bool readSlice(QVector<Sample> &samples, QString &error);
    bool atEnd() const { return done; }

    Format format() const { return kind; }
    qint64 fileSize() const { return size; }
    qint64 bytesRead() const { return consumed; }
    // Rows of a CSV file, samples of a recording.
    qint64 pointCount() const;
    // Lines that held something but no row or sample.
    qint64 skippedLines() const;

private:
    void takeRecording(const QByteArray &bytes, QVector<Sample> &samples);

    qint64 slice;
    QFile file;
    Format kind = Format::Csv;
    qint64 size = 0;
    qint64 consumed = 0;
    bool started = false;
    bool done = false;
    CsvDecoder csv;
    QVector<CsvCodec::Row> rows; // reused by every slice
    // A recording: its unfinished last line, and its counts.
    QByteArray pending;
    bool overlong = false;
    qint64 recorded = 0;
    qint64 recordingSkipped = 0;
};
