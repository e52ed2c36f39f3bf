// The serial assistant's sending through a real pseudo-terminal: a send counts as sent only
// once the driver took it, the queue stays near one second of line time while nobody reads,
// files go out in chunks with progress, cancel and close end them, special files are refused.
#include "assistant/linewriter.h"
#include "tests/support/pseudoterminal.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr qint32 Baud = 9600; // one second of line time: 960 bytes

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}
} // namespace

class LineWriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void sentOnlyWhenTheDriverHasIt();
    void fileGoesOutInChunks();
    void fileEnds_data();
    void fileEnds();
    void refusedFiles_data();
    void refusedFiles();

private:
    QString writeFile(const QByteArray &bytes);

    QTemporaryDir dir;
    std::unique_ptr<PseudoTerminal> board;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<LineWriter> writer;
};

void LineWriterTest::init()
{
    board = std::make_unique<PseudoTerminal>();
    QVERIFY(board->isOpen());
    port = std::make_unique<QSerialPort>(board->slavePath());
    QVERIFY(port->open(QIODevice::ReadWrite));
    writer = std::make_unique<LineWriter>();
    writer->attach(port.get(), Baud);
    QCOMPARE(writer->queueLimit(), qint64(960));
}

void LineWriterTest::cleanup()
{
    writer.reset();
    port.reset();
    board.reset();
}

QString LineWriterTest::writeFile(const QByteArray &bytes)
{
    const QString path = dir.filePath(QString::number(bytes.size()) + QStringLiteral(".bin"));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// A megabyte queued on a line nobody reads is not sent; once read, it is, in one signal.
void LineWriterTest::sentOnlyWhenTheDriverHasIt()
{
    QSignalSpy sent(writer.get(), &LineWriter::sent);
    const QByteArray big = pattern(1024 * 1024);
    QCOMPARE(writer->send(big), LineWriter::Result::Queued);
    QTest::qWait(300);
    QVERIFY(sent.isEmpty());
    QVERIFY(writer->queuedBytes() > writer->queueLimit());
    QCOMPARE(writer->send("more"), LineWriter::Result::QueueFull); // its text: tst_serialtab

    QCOMPARE(board->read(big.size(), 10000), big);
    QTRY_COMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).at(0).toLongLong(), qint64(big.size()));
    QCOMPARE(writer->send(QByteArray()), LineWriter::Result::Queued);
    QCOMPARE(writer->send("AT\r\n"), LineWriter::Result::Queued);
    QCOMPARE(board->read(4), QByteArray("AT\r\n"));
    QTRY_COMPARE(sent.size(), 3);
    QCOMPARE(sent.at(1).at(0).toLongLong(), qint64(0));
    QCOMPARE(sent.at(2).at(0).toLongLong(), qint64(4));

    port->close();
    QCOMPARE(writer->send("x"), LineWriter::Result::NotOpen);
}

// Two megabytes read by the board as they come: all of them, in order, while the queue never
// holds more than a second of line time and progress climbs to the total.
void LineWriterTest::fileGoesOutInChunks()
{
    const QByteArray content = pattern(2 * 1024 * 1024);
    QSignalSpy finished(writer.get(), &LineWriter::fileFinished);
    QVector<qint64> progress;
    qint64 mostQueued = 0;
    connect(writer.get(), &LineWriter::fileProgress, this, [&](qint64 done, qint64 total) {
        QCOMPARE(total, qint64(content.size()));
        progress.append(done);
        mostQueued = std::max(mostQueued, writer->queuedBytes());
    });
    QString error;
    QVERIFY(writer->sendFile(writeFile(content), error));
    QVERIFY(writer->isSendingFile());
    QString notAgain;
    QVERIFY(!writer->sendFile(writeFile("x"), notAgain));
    QCOMPARE(notAgain, QStringLiteral("正在发送文件"));

    QCOMPARE(board->read(content.size(), 60000), content);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<LineWriter::FileOutcome>(), LineWriter::FileOutcome::Sent);
    QCOMPARE(finished.at(0).at(1).toLongLong(), qint64(content.size()));
    QVERIFY(mostQueued <= writer->queueLimit());
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    QCOMPARE(progress.constLast(), qint64(content.size()));
    QVERIFY(!writer->isSendingFile());
}

void LineWriterTest::fileEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<LineWriter::FileOutcome>("outcome");
    QTest::newRow("cancelled") << "cancel" << LineWriter::FileOutcome::Cancelled;
    QTest::newRow("port closed") << "close" << LineWriter::FileOutcome::LineClosed;
    QTest::newRow("empty file") << "empty" << LineWriter::FileOutcome::Sent;
}

// A file on a line nobody reads ends at once when cancelled or when the port closes; an
// empty file is sent at once.
void LineWriterTest::fileEnds()
{
    QFETCH(QString, how);
    QSignalSpy finished(writer.get(), &LineWriter::fileFinished);
    QString error;
    QVERIFY(
        writer->sendFile(writeFile(how == "empty" ? QByteArray() : pattern(1024 * 1024)), error));
    QTest::qWait(200);
    if (how == QLatin1String("cancel"))
        writer->cancelFile();
    else if (how == QLatin1String("close"))
        port->close();
    QTRY_COMPARE(finished.size(), 1);
    QTEST(finished.at(0).at(0).value<LineWriter::FileOutcome>(), "outcome");
    QVERIFY(!writer->isSendingFile());
    QVERIFY(writer->queuedBytes() <= writer->queueLimit());
    if (how == QLatin1String("cancel")) {
        QCOMPARE(
            LineWriter::fileOutcomeText(LineWriter::FileOutcome::Cancelled,
                                        finished.at(0).at(1).toLongLong()),
            QStringLiteral("发送已取消（已发送%1字节）").arg(finished.at(0).at(1).toLongLong()));
        // What was queued still drains; no more of the file follows.
        const QByteArray rest = board->readFor(300);
        QVERIFY(rest.size() < 1024 * 1024);
    }
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
}

void LineWriterTest::refusedFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    // FIFOs, devices and the like: SafeFile's own test.
    QTest::newRow("over 1 GiB") << "large" << QStringLiteral("文件过大（超过1024 MB）");
    QTest::newRow("port closed") << "closed" << QStringLiteral("串口未打开");
}

void LineWriterTest::refusedFiles()
{
    QFETCH(QString, kind);
    QString path = dir.filePath(kind);
    if (kind == QLatin1String("large")) {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(LineWriter::MaxFileBytes + 1));
    } else if (kind == QLatin1String("closed")) {
        path = writeFile("abc");
        port->close();
    }
    QString error;
    QVERIFY(!writer->sendFile(path, error));
    QTEST(error, "error");
    QVERIFY(!writer->isSendingFile());
}

QTEST_GUILESS_MAIN(LineWriterTest)
#include "tst_linewriter.moc"
