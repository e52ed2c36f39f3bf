// The raw capture reader against the rules of docs/capture-format.md, written out here from
// the page: magic, version 1 only, a header of at least 16 bytes whose extra bytes are
// skipped, records of 1 to 16 MiB whose times never decrease, damage and a cut end reported
// at the record where they are with its offset, the whole records before them read. The
// input is the file.
#include "datafiles/captureformat.h"
#include "datafiles/capturereader.h"
#include "fuzz/fuzzcheck.h"

#include <QBuffer>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace {
struct Expected
{
    bool header = false;
    qint64 startMs = 0;
    std::vector<std::pair<quint64, QByteArray>> records;
    std::vector<qint64> offsets;
    QString error; // the words that say where it ends: empty when whole
};

quint64 u64(const unsigned char *p)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

Expected byTheRules(const unsigned char *data, std::size_t size)
{
    Expected e;
    if (size < 16 || std::memcmp(data, "TVCAP", 5) != 0 || data[5] != 1)
        return e;
    const std::size_t headerSize = data[6] | std::size_t(data[7]) << 8;
    if (headerSize < 16 || headerSize > size)
        return e;
    e.header = true;
    e.startMs = qint64(u64(data + 8));
    std::size_t at = headerSize;
    quint64 last = 0;
    while (at < size) {
        const QString where =
            QStringLiteral("record %1 (at byte %2)").arg(e.records.size() + 1).arg(at);
        if (size - at < 12) {
            e.error = QStringLiteral("ends inside ") + where;
            break;
        }
        const quint64 time = u64(data + at);
        const quint32 length = data[at + 8] | quint32(data[at + 9]) << 8 |
                               quint32(data[at + 10]) << 16 | quint32(data[at + 11]) << 24;
        if (length == 0 || length > 16u * 1024 * 1024 || time < last) {
            e.error = where + QStringLiteral(" is damaged");
            break;
        }
        if (size - at - 12 < length) {
            e.error = QStringLiteral("ends inside ") + where;
            break;
        }
        e.records.emplace_back(
            time, QByteArray(reinterpret_cast<const char *>(data + at + 12), int(length)));
        e.offsets.push_back(qint64(at));
        last = time;
        at += 12 + length;
    }
    return e;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const Expected expected = byTheRules(data, size);
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CaptureReader reader(&buffer);
    const bool header = reader.readHeader();
    FUZZ_CHECK(header == expected.header);
    if (!header) {
        FUZZ_CHECK(reader.hasError());
        return 0;
    }
    FUZZ_CHECK(reader.version() == CaptureFormat::Version);
    FUZZ_CHECK(reader.startedAtMs() == expected.startMs);
    CaptureReader::Record record;
    std::size_t n = 0;
    while (reader.next(record)) {
        FUZZ_CHECK(n < expected.records.size());
        FUZZ_CHECK(record.timeUs == expected.records[n].first);
        FUZZ_CHECK(record.bytes == expected.records[n].second);
        FUZZ_CHECK(reader.lastRecordOffset() == expected.offsets[n]);
        ++n;
        FUZZ_CHECK(reader.recordsRead() == qint64(n));
    }
    FUZZ_CHECK(n == expected.records.size());
    FUZZ_CHECK(reader.hasError() == !expected.error.isEmpty());
    FUZZ_CHECK(reader.errorString().contains(expected.error));
    // At the end or at damage it stays there.
    FUZZ_CHECK(!reader.next(record) && reader.recordsRead() == qint64(n));
    return 0;
}
