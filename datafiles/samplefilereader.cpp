#include "datafiles/samplefilereader.h"

#include "base/safefile.h"
#include "datafiles/recordingcodec.h"

bool SampleFileReader::open(const QString &path, QString &error)
{
    if (!SafeFile::openForReading(file, path, CsvCodec::MaxFileBytes, error))
        return false;
    size = file.size();
    return true;
}

qint64 SampleFileReader::pointCount() const
{
    return kind == Format::Csv ? csv.rowCount() : recorded;
}

qint64 SampleFileReader::skippedLines() const
{
    return kind == Format::Csv ? csv.skippedLines() : recordingSkipped;
}

bool SampleFileReader::readSlice(QVector<Sample> &samples, QString &error)
{
    if (done)
        return true;
    QByteArray bytes = file.read(slice);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    consumed += bytes.size();
    const bool last = bytes.isEmpty();
    if (!started) {
        started = true;
        if (RecordingCodec::isRecording(bytes))
            kind = Format::Recording;
    }
    if (kind == Format::Recording) {
        takeRecording(bytes, samples);
        done = last;
        return true;
    }
    rows.resize(0);
    const bool ok = last ? csv.finish(rows) : csv.feed(bytes, rows);
    samples.reserve(samples.size() + rows.size() * 4);
    for (const CsvCodec::Row &row : qAsConst(rows)) {
        for (int ch = 0; ch < 4; ++ch)
            samples.append({ch, row[std::size_t(2 * ch)], row[std::size_t(2 * ch + 1)]});
    }
    done = last;
    if (ok)
        return true;
    // A file that grew past its size since it was opened, or more rows than the chart holds.
    error = csv.status() == CsvDecoder::Status::TooLarge
                ? SafeFile::tooLargeText(CsvCodec::MaxFileBytes)
                : tr("文件行数过多（超过%1行）").arg(CsvCodec::MaxRows);
    done = true;
    return false;
}

// The recording's own decoder reads the slice's whole lines behind the header; a line it
// leaves unfinished waits for the next slice.
void SampleFileReader::takeRecording(const QByteArray &bytes, QVector<Sample> &samples)
{
    int from = 0;
    if (consumed == bytes.size()) { // the first slice: its header
        const int lf = bytes.indexOf('\n');
        from = lf < 0 ? bytes.size() : lf + 1;
    }
    const int lastLf = bytes.lastIndexOf('\n');
    if (bytes.isEmpty() || lastLf < from) {
        // No line ends here: the rest of the file's last line, or more of a long one.
        if (bytes.isEmpty()) {
            // A last line without its end is one a recording cut short left, as when the
            // file is decoded whole (a lone CR or a blank too).
            if (!pending.isEmpty() || overlong)
                ++recordingSkipped;
            pending.clear();
            overlong = false;
        } else if (!overlong) {
            pending.append(bytes.constData() + from, bytes.size() - from);
            if (pending.size() > MaxLineBytes) {
                overlong = true;
                pending.clear();
            }
        }
        return;
    }
    QByteArray lines = RecordingCodec::headerLine();
    if (overlong) {
        // The end of a line too long to hold: skipped.
        ++recordingSkipped;
        overlong = false;
        from = bytes.indexOf('\n', from) + 1;
    } else {
        lines += pending;
    }
    pending = bytes.mid(lastLf + 1);
    lines.append(bytes.constData() + from, std::max(0, lastLf + 1 - from));
    const RecordingCodec::Decoded decoded = RecordingCodec::decode(lines);
    recordingSkipped += decoded.skipped;
    recorded += decoded.samples.size();
    samples.reserve(samples.size() + decoded.samples.size());
    for (const RecordingCodec::Sample &s : decoded.samples)
        samples.append({s.channel, s.actual, s.target});
}
