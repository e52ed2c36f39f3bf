// Session files: the sample recording (writer and decoder) and the raw capture (writer and
// reader), written to disk while they run, and what stays when the disk refuses a write.
#include "datafiles/appendfile.h"
#include "datafiles/capturereader.h"
#include "datafiles/capturewriter.h"
#include "datafiles/recordingcodec.h"
#include "datafiles/samplerecorder.h"
#include "tests/support/smalldisk.h"
#include "tests/support/testdata.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>
#include <sys/stat.h>

namespace {
using Sample = RecordingCodec::Sample;

// What reading a written value back gives: six significant digits, as the export writes.
float asWritten(float v)
{
    return QString::number(double(v), 'g', 6).toFloat();
}

bool sameValue(float a, float b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The recording or the capture behind one face: both keep what they are given alike.
struct EitherWriter
{
    explicit EitherWriter(bool isCapture)
        : capture(isCapture), file(capture ? static_cast<TimedWriter &>(writer) : recorder),
          failed(&file, &TimedWriter::failed)
    {
    }
    static QByteArray chunk(int i) { return QByteArray(1 + i % 7, char('a' + i % 26)); }
    // Item i: a chunk of odd size, or a sample of value i.
    void add(int i)
    {
        capture ? writer.addBytes(chunk(i)) : recorder.addSamples({{i % 4, float(i), float(-i)}});
    }
    // How many of the items from the first the file holds whole, in order, and nothing else;
    // -1 if anything else.
    int wholeItems(QByteArray bytes) const
    {
        int whole = 0;
        if (capture) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            CaptureReader reader(&buffer);
            CaptureReader::Record record;
            if (!reader.readHeader())
                return -1;
            for (; reader.next(record); ++whole) {
                if (record.bytes != chunk(whole))
                    return -1;
            }
            return reader.hasError() ? -1 : whole;
        }
        const RecordingCodec::Decoded decoded = RecordingCodec::decode(bytes);
        if (decoded.skipped != 0 || !bytes.endsWith('\n'))
            return -1;
        for (const Sample &s : decoded.samples) {
            if (s.channel != whole % 4 || s.actual != asWritten(float(whole)))
                return -1;
            ++whole;
        }
        return whole;
    }

    const bool capture;
    SampleRecorder recorder;
    CaptureWriter writer;
    TimedWriter &file;
    QSignalSpy failed;
};
} // namespace

class RecordingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsEverySample();
    void rowsReachTheDiskWhileRecording();
    void earlierFileReplacedWhole();
    void startFailsClearly_data();
    void startFailsClearly();
    void decodeRows_data();
    void decodeRows();
    void captureRoundTrip();
    void damagedCapture_data();
    void damagedCapture();
    void fullDiskKeepsWholeRecords_data();
    void fullDiskKeepsWholeRecords();
    void vanishedFileStops_data();
    void vanishedFileStops();
};

// Every sample, in order, with times that never go back; read back as the export would.
void RecordingTest::recordsEverySample()
{
    QTemporaryDir dir;
    SampleRecorder recorder;
    const QString path =
        dir.filePath(recorder.defaultFileName(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9))));
    QVERIFY(path.endsWith(QLatin1String("/Record-20240305-070809.csv")));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QVector<Sample> sent;
    const float special[] = {0.1f, 1234567.f, -1e-5f, 3.f, nan, inf, -inf, 0.333333f};
    for (int i = 0; i < 3000; ++i)
        sent.append({0, i % 4, special[i % 8], float(i) * 0.731f});

    QVERIFY2(recorder.start(path), qPrintable(recorder.errorString()));
    recorder.addSamples({{4, 1, 1}, {-1, 1, 1}}); // no such channels
    ChannelSamples read;                          // ten a read
    for (int i = 0; i < sent.size(); ++i) {
        read.append({sent[i].channel, sent[i].actual, sent[i].target});
        if (i % 10 == 9) {
            recorder.addSamples(read);
            read.clear();
        }
        if (i == 1499)
            QTest::qWait(5); // so that times differ
    }
    const qint64 size = recorder.fileSize();
    recorder.stop();
    recorder.addSamples({{0, 1, 1}}); // after the stop: ignored
    QCOMPARE(recorder.itemCount(), quint64(sent.size()));

    const QByteArray bytes = readFile(path);
    QCOMPARE(qint64(bytes.size()), size);
    QVERIFY(bytes.startsWith("time_ms,channel,actual,target\n"));
    QVERIFY(bytes.contains(",1,0.1,0\n") && bytes.contains(",2,1.23457e+06,0.731\n"));
    QVERIFY(RecordingCodec::isRecording(bytes));
    const RecordingCodec::Decoded decoded = RecordingCodec::decode(bytes);
    QCOMPARE(decoded.skipped, 0);
    QCOMPARE(decoded.lineCount, sent.size());
    QCOMPARE(decoded.samples.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i) {
        const Sample &got = decoded.samples[i];
        QCOMPARE(got.channel, sent[i].channel);
        QVERIFY2(sameValue(got.actual, asWritten(sent[i].actual)) &&
                     sameValue(got.target, asWritten(sent[i].target)),
                 qPrintable(QString::number(i)));
        QVERIFY(i == 0 || got.timeMs >= decoded.samples[i - 1].timeMs);
    }
    QVERIFY(decoded.samples.last().timeMs >= 5);
}

// Nobody stops the recording, and yet its rows are on disk within a second.
void RecordingTest::rowsReachTheDiskWhileRecording()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.csv"));
    SampleRecorder recorder;
    QSignalSpy progress(&recorder, &SampleRecorder::progress);
    QVERIFY(recorder.start(path));
    recorder.addSamples({{1, 2.5f, 3}});
    QTRY_VERIFY_WITH_TIMEOUT(readFile(path).endsWith(",2,2.5,3\n"), 5000);
    QTRY_VERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(readFile(path).size()));
    QVERIFY(recorder.isWriting());
}

// A recording over an earlier file leaves it as it was until the recording ends, then takes
// its place whole; nothing is left beside it.
void RecordingTest::earlierFileReplacedWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.csv"));
    QVERIFY(writeFile(path, "earlier\n"));
    SampleRecorder recorder;
    QVERIFY(recorder.start(path));
    recorder.addSamples({{1, 2.5f, 3}});
    QTRY_COMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    QTest::qWait(2 * AppendFile::FlushIntervalMs);
    QCOMPARE(readFile(path), QByteArray("earlier\n"));
    recorder.stop();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("r.csv")});
    QVERIFY(readFile(path).endsWith(",2,2.5,3\n"));
}

void RecordingTest::startFailsClearly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("disk full, over an earlier file") << "full";
}

// A start that fails says why, at once, and leaves the folder as it was.
void RecordingTest::startFailsClearly()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    std::unique_ptr<SmallDisk> small;
    QString folder = dir.path();
    QString path = dir.filePath(QStringLiteral("missing/r.csv"));
    if (kind == QLatin1String("fifo")) {
        path = dir.filePath(QStringLiteral("r.csv"));
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == QLatin1String("full")) {
        small = std::make_unique<SmallDisk>("size=64k");
        if (!small->isMounted())
            QSKIP("mounting a tmpfs is not permitted here");
        folder = small->path();
        path = folder + QStringLiteral("/r.csv");
        QVERIFY(writeFile(path, "earlier\n"));
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
        }
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    SampleRecorder recorder;
    QVERIFY(!recorder.start(path));
    QVERIFY(!recorder.isWriting());
    QVERIFY(!recorder.errorString().isEmpty());
    CaptureWriter capture;
    QVERIFY(!capture.start(path));
    QVERIFY(!capture.errorString().isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    if (kind == QLatin1String("full"))
        QCOMPARE(readFile(path), QByteArray("earlier\n"));
}

void RecordingTest::decodeRows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("skipped");
    QTest::newRow("an export is not a recording")
        << QByteArray("3,4,0,0,0,0,0,0,\n") << false << 0 << 0;
    QTest::newRow("header alone") << QByteArray("time_ms,channel,actual,target\n") << true << 0
                                  << 0;
    QTest::newRow("byte order mark, CR LF, blanks")
        << QByteArray("\xEF\xBB\xBFtime_ms, channel, actual, target\r\n5,1,1.5,2\r\n\r\n") << true
        << 1 << 0;
    QTest::newRow("damaged rows are skipped")
        << QByteArray("time_ms,channel,actual,target\n"
                      "1,1,2,3\n"
                      "2,0,2,3\n"     // channel 0
                      "3,5,2,3\n"     // channel 5
                      "-4,1,2,3\n"    // time before the start
                      "5,1,x,3\n"     // not a number
                      "6,1,2\n"       // three fields
                      "7,1,2,3,4\n"   // five
                      "8,4,nan,inf\n" // what the writer writes for these
                      "9,2,1e+06,-1e-05\n"
                      "10,2,3,") // cut short
        << true << 3 << 7;
}

void RecordingTest::decodeRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, samples);
    QTEST(RecordingCodec::isRecording(bytes), "recognised");
    const RecordingCodec::Decoded decoded = RecordingCodec::decode(bytes);
    QCOMPARE(decoded.samples.size(), samples);
    QTEST(decoded.skipped, "skipped");
    if (samples == 3) {
        QVERIFY(std::isnan(decoded.samples[1].actual) && std::isinf(decoded.samples[1].target));
        QCOMPARE(decoded.samples[1].channel, 3);
        QCOMPARE(decoded.samples[2].actual, 1e6f);
        QCOMPARE(decoded.samples[2].timeMs, qint64(9));
    }
}

// Every chunk comes back with its bytes, in order, at times that never go back.
void RecordingTest::captureRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.tvcap"));
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    CaptureWriter writer;
    QVERIFY(writer.start(path));
    QList<QByteArray> chunks{sampleFrame(0, 1.5f, 2), QByteArray(1, '\n'), QByteArray(5000, '\xA5'),
                             QByteArray("0\x00\x01", 3)};
    for (const QByteArray &chunk : chunks) {
        writer.addBytes(chunk);
        writer.addBytes(QByteArray()); // nothing to keep
    }
    QTest::qWait(3);
    writer.addBytes("last");
    chunks << "last";
    writer.stop();
    QCOMPARE(writer.itemCount(), quint64(5018));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), writer.fileSize());
    CaptureReader reader(&file);
    QVERIFY2(reader.readHeader(), qPrintable(reader.errorString()));
    QCOMPARE(reader.version(), 1);
    QVERIFY(reader.startedAtMs() >= before &&
            reader.startedAtMs() <= QDateTime::currentMSecsSinceEpoch());
    CaptureReader::Record record;
    QList<QByteArray> read;
    quint64 lastTime = 0;
    while (reader.next(record)) {
        read << record.bytes;
        QVERIFY(record.timeUs >= lastTime);
        lastTime = record.timeUs;
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(read, chunks);
    QVERIFY(lastTime >= 3000);
}

void RecordingTest::damagedCapture_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records"); // read before the damage; -1: the header is refused
    QTest::addColumn<QString>("error");
    const QByteArray good = captureHeader() + captureRecord(10, "ab") + captureRecord(20, "cd");
    QTest::newRow("empty file") << QByteArray() << -1 << "not a capture file";
    QTest::newRow("other magic") << QByteArray("TVCAQ").append(good.mid(5)) << -1
                                 << "not a capture file";
    QTest::newRow("later version") << captureHeader(2) << -1 << "version 2 is not supported";
    QTest::newRow("cut in the header") << good.left(10) << -1 << "ends inside its header";
    QTest::newRow("cut in a record's head")
        << good.left(good.size() - 8) << 1 << "ends inside record 2";
    QTest::newRow("cut in a record's bytes")
        << good.left(good.size() - 1) << 1 << "ends inside record 2";
    QTest::newRow("length 0") << good + captureRecord(30, QByteArray()) << 2 << "length 0";
    QTest::newRow("length past the limit")
        << good + QByteArray::fromHex("1e00000000000000ffffffff") << 2 << "length 4294967295";
    QTest::newRow("time goes back") << good + captureRecord(19, "ef") << 2 << "time goes back";
    QTest::newRow("whole") << good << 2 << "";
}

// A damaged capture reads up to the damage and then says what and where.
void RecordingTest::damagedCapture()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(QString, error);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    CaptureReader reader(&buffer);
    const bool header = reader.readHeader();
    QCOMPARE(header, records >= 0);
    int read = 0;
    CaptureReader::Record record;
    while (header && reader.next(record))
        ++read;
    if (header)
        QCOMPARE(read, records);
    QCOMPARE(reader.hasError(), !error.isEmpty());
    QVERIFY2(reader.errorString().contains(error), qPrintable(reader.errorString()));
    QVERIFY(!reader.next(record));
}

void RecordingTest::fullDiskKeepsWholeRecords_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("recording, tmpfs of 64 KiB") << false << true;
    QTest::newRow("recording, file size limit") << false << false;
    QTest::newRow("capture, tmpfs of 64 KiB") << true << true;
    QTest::newRow("capture, file size limit") << true << false;
}

// The write that finds the disk full stops the recording with the reason; the file keeps
// every whole row or record written before it, in order, and nothing cut.
void RecordingTest::fullDiskKeepsWholeRecords()
{
    QFETCH(bool, capture);
    QFETCH(bool, tmpfs);
    std::unique_ptr<SmallDisk> small;
    std::unique_ptr<QTemporaryDir> plain;
    QString folder;
    if (tmpfs) {
        small = std::make_unique<SmallDisk>("size=64k");
        if (!small->isMounted())
            QSKIP("mounting a tmpfs is not permitted here");
        folder = small->path();
    } else {
        plain = std::make_unique<QTemporaryDir>();
        folder = plain->path();
    }
    const QString path = folder + QStringLiteral("/session");
    EitherWriter w(capture);
    QVERIFY(w.file.start(path));
    std::unique_ptr<FileSizeLimit> limit;
    if (!tmpfs) {
        limit = std::make_unique<FileSizeLimit>();
        QVERIFY(limit->isActive());
    }
    // Far more than 64 KiB.
    for (int i = 0; i < 12000 && w.failed.isEmpty(); ++i) {
        w.add(i);
        if (i % 1000 == 999)
            QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.failed.count(), 1, 5000);
    limit.reset();
    const QString reason = w.failed.first().first().toString();
    QVERIFY2(reason.contains(QLatin1String("space")) || reason.contains(QLatin1String("large")),
             qPrintable(reason));
    QVERIFY(!w.file.isWriting());
    QCOMPARE(w.file.errorString(), reason);
    const QByteArray bytes = readFile(path);
    QCOMPARE(qint64(bytes.size()), w.file.fileSize());
    // Most of the 64 KiB hold whole records.
    const int whole = w.wholeItems(bytes);
    QVERIFY2(bytes.size() > 40000 && whole > 1000, qPrintable(QString::number(whole)));
}

void RecordingTest::vanishedFileStops_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("stopAtOnce");
    QTest::newRow("recording deleted") << false << "delete" << false;
    QTest::newRow("recording moved") << false << "move" << false;
    QTest::newRow("recording deleted, then stopped") << false << "delete" << true;
    QTest::newRow("recording over an earlier file, its new file deleted")
        << false << "part" << false;
    QTest::newRow("capture deleted") << true << "delete" << false;
    QTest::newRow("capture moved, then stopped") << true << "move" << true;
}

// A file that leaves its path stops the writing at the next write with that reason, and
// everything it was given is in a new file beside the path, which the reason names.
void RecordingTest::vanishedFileStops()
{
    QFETCH(bool, capture);
    QFETCH(QString, how);
    QFETCH(bool, stopAtOnce);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec5.csv"));
    if (how == QLatin1String("part"))
        QVERIFY(writeFile(path, "earlier\n"));
    EitherWriter w(capture);
    QVERIFY(w.file.start(path));
    for (int i = 0; i < 50; ++i)
        w.add(i);
    QTest::qWait(AppendFile::FlushIntervalMs + 100); // on disk
    const QStringList parts = QDir(dir.path()).entryList({QStringLiteral("*.part")});
    const QString written = how == QLatin1String("part") ? dir.filePath(parts.value(0)) : path;
    if (how == QLatin1String("move"))
        QVERIFY(QFile::rename(path, dir.filePath(QStringLiteral("elsewhere.csv"))));
    else
        QVERIFY(QFile::remove(written));
    for (int i = 50; i < 80; ++i)
        w.add(i);
    if (stopAtOnce)
        w.file.stop();
    QTRY_COMPARE(w.failed.count(), 1);
    QVERIFY(!w.file.isWriting());
    const QString reason = w.failed.first().first().toString();
    const QString recovered = dir.filePath(QStringLiteral("rec5-recovered.csv"));
    QCOMPARE(reason, QStringLiteral("文件已被删除或移动，已写入的内容另存为 %1")
                         .arg(QDir::toNativeSeparators(recovered)));
    QCOMPARE(w.file.errorString(), reason);
    QCOMPARE(readFile(path),
             how == QLatin1String("part") ? QByteArray("earlier\n") : QByteArray("<missing>"));
    QCOMPARE(w.wholeItems(readFile(recovered)), 80);
}

QTEST_GUILESS_MAIN(RecordingTest)
#include "tst_recording.moc"
