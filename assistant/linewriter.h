#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>

class QFile;
class QIODevice;

// Everything the serial assistant sends goes through here, onto the open line (a
// QSerialPort; any QIODevice that reports bytesWritten). It keeps the line's write queue to
// about one second of line time: a send is refused while more than that waits, and a file
// goes out in chunks as the line drains, with progress and a way to cancel. A send counts as
// sent only once the device handed all of it to the driver (bytesWritten), not when queued.
// While attached it must be the only writer on the device. Closing the device (or detach())
// forgets everything queued.
class LineWriter : public QObject
{
    Q_OBJECT

public:
    enum class Result { Queued, NotOpen, QueueFull };
    enum class FileOutcome { Sent, Cancelled, ReadFailed, LineClosed };
    Q_ENUM(FileOutcome)

    // Larger files are refused; at 115200 baud this one would take a day.
    static constexpr qint64 MaxFileBytes = qint64(1024) * 1024 * 1024;
    // Largest single write of a file chunk.
    static constexpr qint64 ChunkBytes = 64 * 1024;

    explicit LineWriter(QObject *parent = nullptr);
    ~LineWriter() override;

    // The line just opened at `baudRate`; forgets what an earlier line had queued.
    void attach(QIODevice *device, qint32 baudRate);
    // The line closed or went away: drops everything queued, ends a file being sent.
    void detach();

    // Ten bits per byte: start, eight data bits, stop.
    qint64 bytesPerSecond() const { return lineRate; }
    // One second of line time.
    qint64 queueLimit() const { return lineRate; }
    // Bytes given to the device that it has not handed to the driver yet.
    qint64 queuedBytes() const;

    // Queues `bytes` unless the line is closed or more than queueLimit() waits already;
    // sent() follows once the driver has all of them.
    Result send(const QByteArray &bytes);
    // Sends the regular file at `path` in chunks; false with the reason in `error` when it
    // cannot start (the texts of SafeFile, or "串口未打开", "正在发送文件"). fileProgress()
    // and then fileFinished() follow.
    bool sendFile(const QString &path, QString &error);
    void cancelFile();
    bool isSendingFile() const { return file != nullptr; }

    // "发送失败！", "发送失败：发送缓冲区已满"; null for Queued.
    static QString resultText(Result result);
    // "发送成功！", "发送已取消（已发送N字节）", "发送失败：读取文件出错", "发送失败：串口已关闭".
    static QString fileOutcomeText(FileOutcome outcome, qint64 done);

Q_SIGNALS:
    // One send() handed whole to the driver.
    void sent(qint64 bytes);
    // Bytes of the file handed to the driver so far, of `total`.
    void fileProgress(qint64 done, qint64 total);
    void fileFinished(LineWriter::FileOutcome outcome, qint64 done, qint64 total);

private:
    enum class Kind { Send, FileChunk, Lost };
    struct Segment
    {
        qint64 end; // of the bytes accepted since attach()
        qint64 size;
        Kind kind;
    };

    bool write(const QByteArray &bytes, Kind kind);
    void written(qint64 bytes);
    void settle();
    void pumpFile();
    void endFile(FileOutcome outcome);

    QPointer<QIODevice> line;
    QMetaObject::Connection writtenConnection;
    QMetaObject::Connection closeConnection;
    qint64 lineRate = 11520;
    qint64 accepted = 0; // bytes the device took into its queue since attach()
    qint64 handed = 0;   // bytes it reported written to the driver since attach()
    std::deque<Segment> segments;

    std::unique_ptr<QFile> file;
    qint64 fileTotal = 0;
    qint64 fileRead = 0;
    qint64 fileDone = 0;
    bool fileAtEnd = false;
};
