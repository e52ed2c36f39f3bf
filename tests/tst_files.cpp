// Files the user names: only regular files of bounded size are read, and a save replaces the
// old file whole or leaves it as it was, on a full disk too; the chart's export and import in
// slices. path.ini is read only at its start.
#include "app/pathini.h"
#include "base/safefile.h"
#include "chart/samplestore.h"
#include "datafiles/recordingcodec.h"
#include "datafiles/samplefilereader.h"
#include "datafiles/storeexport.h"
#include "tests/support/smalldisk.h"
#include "tests/support/testdata.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A good earlier save, 13,893 bytes like the one a full disk once cut short.
QByteArray earlierSave()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 13893; ++i)
        bytes += QByteArray::number(i) + ":hello\n";
    return bytes.left(13893);
}
} // namespace

class FilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reading_data();
    void reading();
    void saving_data();
    void saving();
    void exportInSlices_data();
    void exportInSlices();
    void readingInSlices_data();
    void readingInSlices();
    void savingWhereNoFileCanBeMade();
    void pathIni_data();
    void pathIni();

private:
    QTemporaryDir dir;
};

void FilesTest::reading_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error"); // empty: opened
    const QString notRegular = SafeFile::notRegularText();
    for (const char *kind : {"regular", "limit", "link"})
        QTest::newRow(kind) << kind << QString();
    QTest::newRow("one byte over the limit") << "over" << QStringLiteral("文件过大（超过1 MB）");
    for (const char *kind : {"fifo", "fifolink", "/dev/zero", "folder"})
        QTest::newRow(kind) << kind << notRegular;
    QTest::newRow("missing") << "missing" << QStringLiteral("No such file or directory");
}

// Refusals come back at once: a FIFO opened for reading would wait for a writer forever.
void FilesTest::reading()
{
    QFETCH(QString, kind);
    const qint64 limit = 1024 * 1024;
    QString path =
        kind.startsWith(QLatin1Char('/')) ? kind : dir.filePath(kind + QStringLiteral(".bin"));
    QByteArray content("abc");
    if (kind == QLatin1String("regular") || kind == QLatin1String("link")) {
        QVERIFY(writeFile(path, content));
    } else if (kind == QLatin1String("limit") || kind == QLatin1String("over")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(limit + (kind == "over")));
        content = QByteArray(int(limit), '\0');
    } else if (kind.startsWith(QLatin1String("fifo"))) {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.bin")));
    }
    if (kind.endsWith(QLatin1String("link"))) {
        const QString link = path + QStringLiteral(".link");
        QVERIFY(QFile::link(path, link));
        path = link;
    }

    QFile file;
    QString error;
    const bool opened = SafeFile::openForReading(file, path, limit, error);
    QTEST(error, "error");
    QCOMPARE(opened, error.isEmpty());
    QCOMPARE(file.isOpen(), opened);
    if (opened)
        QCOMPARE(file.readAll(), content);
}

void FilesTest::saving_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("error"); // checked when not empty
    const QString notRegular = SafeFile::notRegularText();
    QTest::newRow("new file") << "new" << true << "";
    QTest::newRow("replaces the earlier file") << "folder" << true << "";
    QTest::newRow("through a link: the file it leads to") << "link" << true << "";
    QTest::newRow("full disk") << "size=64k" << false << "No space left on device";
    QTest::newRow("no room for a temporary file") << "nr_inodes=2" << false << "";
    QTest::newRow("file size limit") << "rlimit" << false << "";
    QTest::newRow("/dev/null") << "/dev/null" << true << "";
    QTest::newRow("link to /dev/full") << "/dev/full" << false << "No space left on device";
    QTest::newRow("FIFO") << "fifo" << false << notRegular;
    QTest::newRow("a folder of that name") << "subfolder" << false << notRegular;
}

// 80 KiB over an earlier save: either all of it is there afterwards, or the earlier save is,
// byte for byte, with nothing else left in the folder.
void FilesTest::saving()
{
    QFETCH(QString, place);
    QFETCH(bool, saved);
    std::unique_ptr<SmallDisk> disk;
    std::unique_ptr<FileSizeLimit> sizeLimit;
    QString folder = dir.path() + QLatin1Char('/') + QString(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    if (place.contains(QLatin1Char('='))) {
        disk = std::make_unique<SmallDisk>(place.toLatin1().constData());
        if (!disk->isMounted())
            QSKIP("mounting a tmpfs is not permitted here");
        folder = disk->path();
    }
    const QString path = folder + QStringLiteral("/datas.txt");
    const QByteArray before = earlierSave();
    if (place != QLatin1String("new"))
        QVERIFY(writeFile(path, before));
    // Replaced, it keeps its permissions; a link stays a link.
    const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(place == QLatin1String("new") || QFile::setPermissions(path, kept));
    if (place == QLatin1String("link")) {
        QVERIFY(QFile::rename(path, folder + QStringLiteral("/real.txt")) &&
                QFile::link(QStringLiteral("real.txt"), path));
    } else if (place.startsWith(QLatin1Char('/'))) {
        QVERIFY(QFile::remove(path) && QFile::link(place, path));
    } else if (place == QLatin1String("fifo")) {
        QVERIFY(QFile::remove(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (place == QLatin1String("subfolder")) {
        QVERIFY(QFile::remove(path) && QDir(folder).mkdir(QStringLiteral("datas.txt")));
    } else if (place == QLatin1String("rlimit")) {
        sizeLimit = std::make_unique<FileSizeLimit>();
        QVERIFY(sizeLimit->isActive());
    }
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    // The last 16 KiB past the 64 KiB that fit wait in the file's buffer until the commit.
    const QByteArray content(80 * 1024, 'n');
    QString problem;
    QCOMPARE(SafeFile::save(path, content, problem), saved);
    sizeLimit.reset();
    QFETCH(QString, error);
    if (!error.isEmpty())
        QCOMPARE(problem, error);
    QCOMPARE(problem.isEmpty(), saved);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             saved && place == QLatin1String("new") ? QStringList{"datas.txt"} : entries);
    if (place.startsWith(QLatin1Char('/')) || place == QLatin1String("fifo") ||
        place == QLatin1String("subfolder"))
        QCOMPARE(QFileInfo(path).isFile(), false); // still what it was
    else
        QCOMPARE(readFile(path), saved ? content : before);
    if (place == QLatin1String("folder") || place == QLatin1String("link"))
        QCOMPARE(QFile::permissions(path) & 0x7077, kept);
    QVERIFY(place != QLatin1String("link") || QFileInfo(path).isSymLink());
}

void FilesTest::exportInSlices_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("error"); // empty: none
    QTest::newRow("written") << ""
                             << "";
    // Files may not grow past 64 KiB: writes beyond fail as on a full disk.
    QTest::newRow("disk full") << "full"
                               << "File too large";
    QTest::newRow("cancelled") << "cancel"
                               << "";
    // A history that keeps the newest samples dropped rows not yet written.
    QTest::newRow("rows dropped meanwhile") << "dropped"
                                            << "导出期间数据已变化";
    QTest::newRow("chart cleared meanwhile") << "cleared"
                                             << "导出期间数据已变化";
}

// The chart's export in slices, as the window runs it: the earlier export stays unless every
// row went into the new one, which then holds exactly the rows the store held at the start.
void FilesTest::exportInSlices()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, error);
    const QString path = dir.filePath(QStringLiteral("Export.csv"));
    QVERIFY(writeFile(path, earlierSave()));
    const quint32 rows = StoreExport::SliceRows + 50000;
    SampleStore store(rows);
    for (quint32 i = 0; i < rows; ++i)
        store.append(int(i % 4), float(i), 0.5f);
    for (quint32 i = 0; i < rows - rows / 4; ++i)
        store.append(0, 1.5f, 0.5f);
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    QVERIFY(StoreExport::write(expected, store));

    auto limit = obstacle == QLatin1String("full") ? std::make_unique<FileSizeLimit>() : nullptr;
    StoreExport file(store);
    QString why;
    QVERIFY(file.start(path, why));
    QCOMPARE(file.rowCount(), rows);
    bool written = file.writeSlice(why);
    if (obstacle == QLatin1String("cancel"))
        file.cancel();
    else if (obstacle == QLatin1String("cleared"))
        store.clear();
    for (quint32 i = 0; obstacle == QLatin1String("dropped") && i <= StoreExport::SliceRows; ++i)
        store.append(0, 1.0f, 1.0f);
    while (written && !file.atEnd() && obstacle != QLatin1String("cancel"))
        written = file.writeSlice(why);
    written = written && obstacle != QLatin1String("cancel") && file.commit(why);
    limit.reset();
    QCOMPARE(written, obstacle.isEmpty());
    QCOMPARE(why, error);
    QCOMPARE(readFile(path), written ? expected.data() : earlierSave());
    QCOMPARE(QDir(dir.path()).entryList({"Export*"}, QDir::Files), QStringList{"Export.csv"});
}

// A data file read in slices: rows and samples cut by a slice's end arrive whole, in order;
// a line too long to hold and a recording's last line cut short are skipped.
void FilesTest::readingInSlices_data()
{
    QTest::addColumn<bool>("recording");
    QTest::newRow("export") << false;
    QTest::newRow("recording") << true;
}

void FilesTest::readingInSlices()
{
    QFETCH(bool, recording);
    QByteArray content = recording ? RecordingCodec::headerLine() : QByteArray();
    const int lines = 150000; // three slices and more
    for (int i = 0; i < lines; ++i) {
        if (i == lines / 2)
            content += QByteArray(SampleFileReader::MaxLineBytes + 10, 'x') + '\n';
        if (recording)
            RecordingCodec::appendRow(content, i, i % 4, float(i), 0.5f);
        else
            content += QByteArray::number(i) + ",0.5,0,0,0,0,0,0,\n";
    }
    content += recording ? "7,1,2" : "1,2,3,4,5,6,7,8";
    const QString path = dir.filePath(QStringLiteral("data.csv"));
    QVERIFY(writeFile(path, content));
    SampleFileReader file;
    QString error;
    QVERIFY(file.open(path, error));
    QVector<SampleFileReader::Sample> samples;
    int slices = 0;
    while (!file.atEnd() && ++slices)
        QVERIFY(file.readSlice(samples, error));
    QVERIFY(slices > 3);
    QCOMPARE(int(file.format()),
             int(recording ? SampleFileReader::Format::Recording : SampleFileReader::Format::Csv));
    QCOMPARE(file.pointCount(), qint64(recording ? lines : lines + 1));
    QCOMPARE(file.skippedLines(), qint64(recording ? 2 : 1));
    QCOMPARE(file.bytesRead(), qint64(content.size()));
    const int perLine = recording ? 1 : 4;
    QCOMPARE(samples.size(), int(file.pointCount()) * perLine);
    for (int i = 0; i < lines; ++i) {
        const SampleFileReader::Sample &s = samples.at(i * perLine);
        QVERIFY2(s.channel == (recording ? i % 4 : 0) && s.actual == float(i) && s.target == 0.5f,
                 qPrintable(QString::number(i)));
    }
}

// A folder the user may not add to, holding a file the user may write: once a save wrote the
// file in place there, and a full disk cut it short. Now the save fails and the file stays.
void FilesTest::savingWhereNoFileCanBeMade()
{
    const QString folder = dir.filePath(QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/datas.txt");
    QVERIFY(QDir().mkpath(folder) && writeFile(path, earlierSave()));
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    const auto refused = [&path] {
        QString error;
        return !SafeFile::save(path, QByteArray(100, 'n'), error) && !error.isEmpty();
    };
    if (::geteuid() != 0) {
        QVERIFY(refused());
    } else { // root may add to any folder: save as nobody
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && refused() ? 0 : 1);
        int status = 0;
        QVERIFY(child > 0 && ::waitpid(child, &status, 0) == child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QCOMPARE(readFile(path), earlierSave());
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
}

void FilesTest::pathIni_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>", "<fifo>", "<300 MB>": no such text
    QTest::addColumn<QStringList>("lines");  // empty: refused
    QTest::addColumn<int>("status");
    const int ok = int(PathIni::Status::Ok), broken = int(PathIni::Status::Broken);
    const QStringList abc{"http://a", "http://b", "/doc.html"};
    QTest::newRow("three lines") << QByteArray("http://a\nhttp://b\n/doc.html\n") << abc << ok;
    QTest::newRow("CR LF, a fourth line")
        << QByteArray("http://a\r\nhttp://b\r\n/doc.html\r\nmore\r\n") << abc << ok;
    QTest::newRow("no end after the third")
        << QByteArray("http://a\nhttp://b\n/doc.html") << abc << ok;
    QTest::newRow("two lines") << QByteArray("http://a\nhttp://b\n") << QStringList() << broken;
    QTest::newRow("good start, runaway rest")
        << QByteArray("http://a\nhttp://b\n/doc.html\n") + QByteArray(1 << 20, 'x') << abc << ok;
    QTest::newRow("third line past the cap")
        << QByteArray("http://a\nhttp://b\n") + QByteArray(PathIni::MaxBytes, '/') << QStringList()
        << broken;
    QTest::newRow("300 MB on one line") << QByteArray("<300 MB>") << QStringList() << broken;
    QTest::newRow("FIFO") << QByteArray("<fifo>") << QStringList() << broken;
    QTest::newRow("missing") << QByteArray("<missing>") << QStringList()
                             << int(PathIni::Status::Missing);
}

void FilesTest::pathIni()
{
    QFETCH(QByteArray, content);
    const QString path = dir.filePath(QStringLiteral("path-%1.ini").arg(QTest::currentDataTag()));
    if (content == "<fifo>") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (content == "<300 MB>") {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(300 * 1024 * 1024));
    } else if (content != "<missing>") {
        QVERIFY(writeFile(path, content));
    }
    const PathIni::Contents read = PathIni::read(path);
    QTEST(read.lines, "lines");
    QTEST(int(read.status), "status");
}

QTEST_GUILESS_MAIN(FilesTest)
#include "tst_files.moc"
