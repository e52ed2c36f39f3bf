#include "assistant/linewriter.h"

#include "base/safefile.h"

#include <QFile>
#include <QIODevice>
#include <QTimer>

#include <algorithm>

LineWriter::LineWriter(QObject *parent) : QObject(parent)
{
    // fileFinished() may reach a window through a queued connection.
    qRegisterMetaType<LineWriter::FileOutcome>();
}

LineWriter::~LineWriter()
{
    QObject::disconnect(writtenConnection);
    QObject::disconnect(closeConnection);
}

void LineWriter::attach(QIODevice *device, qint32 baudRate)
{
    detach();
    line = device;
    lineRate = std::max<qint64>(1, baudRate / 10);
    if (!device)
        return;
    writtenConnection = connect(device, &QIODevice::bytesWritten, this, &LineWriter::written);
    closeConnection = connect(device, &QIODevice::aboutToClose, this, &LineWriter::detach);
}

void LineWriter::detach()
{
    QObject::disconnect(writtenConnection);
    QObject::disconnect(closeConnection);
    line = nullptr;
    segments.clear();
    accepted = 0;
    handed = 0;
    if (file)
        endFile(FileOutcome::LineClosed);
}

qint64 LineWriter::queuedBytes() const
{
    return line ? line->bytesToWrite() : 0;
}

LineWriter::Result LineWriter::send(const QByteArray &bytes)
{
    if (!line || !line->isOpen())
        return Result::NotOpen;
    if (line->bytesToWrite() > queueLimit())
        return Result::QueueFull;
    if (!write(bytes, Kind::Send))
        return Result::NotOpen;
    if (bytes.isEmpty()) // nothing for the driver to take: sent once what came before is
        QTimer::singleShot(0, this, &LineWriter::settle);
    return Result::Queued;
}

bool LineWriter::write(const QByteArray &bytes, Kind kind)
{
    // Recorded first: a device may report bytesWritten from inside write().
    segments.push_back({accepted + bytes.size(), bytes.size(), kind});
    const qint64 taken = bytes.isEmpty() ? 0 : line->write(bytes);
    if (taken == bytes.size()) {
        accepted += taken;
        return true;
    }
    // Whatever part the device took still goes out, unannounced.
    segments.pop_back();
    if (taken > 0) {
        accepted += taken;
        segments.push_back({accepted, taken, Kind::Lost});
    }
    return false;
}

void LineWriter::written(qint64 bytes)
{
    handed += bytes;
    settle();
    pumpFile();
}

void LineWriter::settle()
{
    bool fileMoved = false;
    while (!segments.empty() && segments.front().end <= handed) {
        const Segment done = segments.front();
        segments.pop_front();
        if (done.kind == Kind::Send) {
            emit sent(done.size);
        } else if (done.kind == Kind::FileChunk && file) {
            fileDone += done.size;
            fileMoved = true;
        }
    }
    if (!fileMoved)
        return;
    emit fileProgress(fileDone, fileTotal);
    if (fileAtEnd && fileDone == fileRead)
        endFile(FileOutcome::Sent);
}

bool LineWriter::sendFile(const QString &path, QString &error)
{
    if (!line || !line->isOpen()) {
        error = tr("串口未打开");
        return false;
    }
    if (file) {
        error = tr("正在发送文件");
        return false;
    }
    auto opened = std::make_unique<QFile>();
    if (!SafeFile::openForReading(*opened, path, MaxFileBytes, error))
        return false;
    file = std::move(opened);
    fileTotal = file->size();
    fileRead = 0;
    fileDone = 0;
    fileAtEnd = false;
    pumpFile();
    if (file && fileAtEnd && fileRead == 0) { // an empty file
        QTimer::singleShot(0, this, [this] {
            if (file && fileAtEnd && fileRead == 0)
                endFile(FileOutcome::Sent);
        });
    }
    return true;
}

void LineWriter::pumpFile()
{
    while (file && !fileAtEnd && line) {
        const qint64 room = queueLimit() - line->bytesToWrite();
        if (room <= 0)
            return;
        const qint64 want = std::min({room, ChunkBytes, fileTotal - fileRead});
        const QByteArray chunk = want > 0 ? file->read(want) : QByteArray();
        if (chunk.isEmpty()) {
            if (file->error() != QFileDevice::NoError) {
                endFile(FileOutcome::ReadFailed);
                return;
            }
            // The end, or the file shrank since it was chosen: what was read is the file.
            fileAtEnd = true;
            fileTotal = fileRead;
            break;
        }
        fileRead += chunk.size();
        if (!write(chunk, Kind::FileChunk)) {
            endFile(FileOutcome::LineClosed);
            return;
        }
    }
    if (file && fileAtEnd && fileDone == fileRead && fileRead > 0)
        endFile(FileOutcome::Sent);
}

void LineWriter::cancelFile()
{
    if (file)
        endFile(FileOutcome::Cancelled);
}

void LineWriter::endFile(FileOutcome outcome)
{
    file.reset();
    // Chunks still queued go out, but no longer count for a file that has ended.
    for (Segment &segment : segments) {
        if (segment.kind == Kind::FileChunk)
            segment.kind = Kind::Lost;
    }
    emit fileFinished(outcome, fileDone, fileTotal);
}

QString LineWriter::resultText(Result result)
{
    switch (result) {
    case Result::Queued:
        break;
    case Result::NotOpen:
        return tr("发送失败！");
    case Result::QueueFull:
        return tr("发送失败：发送缓冲区已满");
    }
    return QString();
}

QString LineWriter::fileOutcomeText(FileOutcome outcome, qint64 done)
{
    switch (outcome) {
    case FileOutcome::Sent:
        return tr("发送成功！");
    case FileOutcome::Cancelled:
        return tr("发送已取消（已发送%1字节）").arg(done);
    case FileOutcome::ReadFailed:
        return tr("发送失败：读取文件出错");
    case FileOutcome::LineClosed:
        return tr("发送失败：串口已关闭");
    }
    return QString();
}
