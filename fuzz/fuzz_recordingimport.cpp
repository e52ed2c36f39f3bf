// The import of a recording. Byte 0: bit 0 puts a recording's header row in front of the rest,
// bits 1 to 7 the size of the slices (1 to 128 bytes, at least the first line). The file
// read in slices by SampleFileReader must give what RecordingCodec gives for it whole: the
// same format, the same samples bit for bit, the same count of skipped lines; and every
// sample is a line of the file, read again here by a plain split at LF.
#include "datafiles/recordingcodec.h"
#include "datafiles/samplefilereader.h"
#include "fuzz/fuzzcheck.h"

#include <QTemporaryFile>

#include <cstring>

namespace {
bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    QByteArray bytes = (data[0] & 1) ? RecordingCodec::headerLine() : QByteArray();
    bytes.append(reinterpret_cast<const char *>(data + 1), int(size - 1));
    qint64 slice = (data[0] >> 1) + 1;
    // The format is told by the first slice: it holds the first line, as 1 MiB slices do
    // every header row there is.
    const int firstEnd = bytes.indexOf('\n');
    slice = std::max<qint64>(slice, firstEnd < 0 ? bytes.size() + 1 : firstEnd + 1);

    QTemporaryFile file;
    FUZZ_CHECK(file.open());
    FUZZ_CHECK(file.write(bytes) == bytes.size() && file.flush());

    SampleFileReader reader(slice);
    QString error;
    FUZZ_CHECK(reader.open(file.fileName(), error));
    QVector<SampleFileReader::Sample> samples;
    int slices = 0;
    while (!reader.atEnd()) {
        FUZZ_CHECK(reader.readSlice(samples, error));
        FUZZ_CHECK(++slices <= bytes.size() / slice + 2);
    }
    FUZZ_CHECK(reader.bytesRead() == bytes.size());

    const bool recording = RecordingCodec::isRecording(bytes);
    FUZZ_CHECK((reader.format() == SampleFileReader::Format::Recording) == recording);
    if (!recording)
        return 0; // the CSV import has its own target
    const RecordingCodec::Decoded whole = RecordingCodec::decode(bytes);
    FUZZ_CHECK(samples.size() == whole.samples.size());
    FUZZ_CHECK(reader.pointCount() == whole.samples.size());
    FUZZ_CHECK(reader.skippedLines() == whole.skipped);
    for (int i = 0; i < samples.size(); ++i) {
        const RecordingCodec::Sample &w = whole.samples.at(i);
        FUZZ_CHECK(samples.at(i).channel == w.channel);
        FUZZ_CHECK(sameBits(samples.at(i).actual, w.actual));
        FUZZ_CHECK(sameBits(samples.at(i).target, w.target));
    }

    // Lines after the header: empty ones are nothing, complete ones that parse are the
    // samples in order, everything else is skipped.
    const QList<QByteArray> lines = bytes.split('\n');
    int sample = 0;
    int skipped = 0;
    for (int i = 1; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        const bool complete = i + 1 < lines.size();
        if (!complete && line.isEmpty())
            break;
        if (complete && line.endsWith('\r'))
            line.chop(1);
        if (complete && line.isEmpty())
            continue;
        RecordingCodec::Sample s{};
        if (complete &&
            RecordingCodec::parseRow(line.constData(), line.constData() + line.size(), s)) {
            FUZZ_CHECK(sample < whole.samples.size());
            FUZZ_CHECK(whole.samples.at(sample).timeMs == s.timeMs && s.timeMs >= 0);
            FUZZ_CHECK(s.channel >= 0 && s.channel < 4);
            FUZZ_CHECK(whole.samples.at(sample).channel == s.channel);
            ++sample;
        } else {
            ++skipped;
        }
    }
    FUZZ_CHECK(sample == whole.samples.size());
    FUZZ_CHECK(skipped == whole.skipped);
    return 0;
}
