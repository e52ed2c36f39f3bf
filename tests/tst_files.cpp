// Files the user names: only regular files of bounded size are read, and a save replaces the
// old file whole or leaves it as it was, on a full disk too. path.ini is read only at its start.
#include "app/pathini.h"
#include "datafiles/csvcodec.h"
#include "datafiles/safefile.h"
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
    void savingInSlices();
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
    QTest::newRow("regular") << "regular"
                             << "";
    QTest::newRow("exactly the limit") << "limit"
                                       << "";
    QTest::newRow("one byte over the limit") << "over" << QStringLiteral("文件过大（超过1 MB）");
    QTest::newRow("link to a regular file") << "link"
                                            << "";
    QTest::newRow("FIFO without a writer") << "fifo" << notRegular;
    QTest::newRow("link to a FIFO") << "fifolink" << notRegular;
    QTest::newRow("/dev/zero") << "/dev/zero" << notRegular;
    QTest::newRow("folder") << "folder" << notRegular;
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
    QTest::newRow("full disk") << "size=64k" << false << "No space left on device";
    QTest::newRow("no room for a temporary file") << "nr_inodes=2" << false << "";
    QTest::newRow("file size limit") << "rlimit" << false << "";
    QTest::newRow("/dev/null") << "/dev/null" << true << "";
    QTest::newRow("link to /dev/full") << "/dev/full" << false << "No space left on device";
    QTest::newRow("FIFO") << "fifo" << false << notRegular;
    QTest::newRow("a folder of that name") << "subfolder" << false << notRegular;
}

// 100 KB over an earlier save: either all of it is there afterwards, or the earlier save is,
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
    if (place.startsWith(QLatin1Char('/'))) {
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

    const QByteArray content(100 * 1024, 'n');
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
}

// The export streamed through a save: a full disk part-way leaves the earlier export, a
// cancelled save too, and a save that goes through holds exactly the encoded rows.
void FilesTest::savingInSlices()
{
    SmallDisk disk("size=64k");
    if (!disk.isMounted())
        QSKIP("mounting a tmpfs is not permitted here");
    const QString path = disk.path() + QStringLiteral("/Export.csv");
    QVERIFY(writeFile(path, "3,4,0,0,0,0,0,0,\n"));
    const CsvCodec::SeriesLengths lengths{20000, 20000, 0, 0, 0, 0, 0, 0};
    const auto value = [](int series, quint32 i) { return i * 0.5 + series; };
    QString error;
    for (const quint32 rows : {20000u, 100u, 1000u}) {
        SafeFile save(path);
        QVERIFY(save.open(error));
        bool written = true;
        for (quint32 first = 0; first < rows && written; first += 300)
            written = CsvCodec::writeRows(*save.device(), first, std::min(rows, first + 300),
                                          lengths, value);
        if (rows == 100u) {
            save.cancel(); // the user cancelled
        } else if (rows == 20000u) {
            QVERIFY(!written || !save.commit(error)); // 600 KB do not fit
            QCOMPARE(readFile(path), QByteArray("3,4,0,0,0,0,0,0,\n"));
        } else {
            QVERIFY(written && save.commit(error));
            QBuffer expected;
            expected.open(QIODevice::WriteOnly);
            QVERIFY(CsvCodec::writeRows(expected, 0, rows, lengths, value));
            QCOMPARE(readFile(path), expected.data());
        }
        if (rows != 1000u)
            QCOMPARE(readFile(path), QByteArray("3,4,0,0,0,0,0,0,\n"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{"Export.csv"});
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
