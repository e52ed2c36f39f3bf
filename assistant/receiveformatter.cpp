#include "assistant/receiveformatter.h"

#include "app/qtcompat.h"

#include <QTime>

namespace {
bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes a character starting with `lead` takes; 1 for bytes that cannot start one.
int sequenceLength(uchar lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

} // namespace

QString ReceiveFormatter::format(const QByteArray &chunk, bool hex, bool stamped, const QTime &now)
{
    // Shared, not copied, when no character start waits.
    QByteArray bytes = pending.isEmpty() ? chunk : pending + chunk;
    pending.clear();
    QString body;
    if (hex) {
        body = hexForm(bytes);
    } else {
        const int complete = completeLength(bytes);
        pending = bytes.mid(complete);
        // QString::fromUtf8 would drop a leading byte order mark; keep everything that arrived.
        body = QtCompat::decodeUtf8KeepingBom(bytes.constData(), complete);
    }
    if (body.isEmpty())
        return QString();
    return stamped ? stampFor(now) + body : body;
}

const QString &ReceiveFormatter::stampFor(const QTime &time)
{
    const int second = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : -2;
    if (second != stampSecond) {
        stampSecond = second;
        stamp = timeStamp(time);
    }
    return stamp;
}

QString ReceiveFormatter::timeStamp(const QTime &time)
{
    return tr("%1时%2分%3秒:").arg(time.hour()).arg(time.minute()).arg(time.second());
}

QString ReceiveFormatter::hexForm(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

int ReceiveFormatter::completeLength(const QByteArray &bytes)
{
    const int size = bytes.size();
    for (int back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<uchar>(bytes.at(size - back));
        if (isContinuation(byte))
            continue;
        return sequenceLength(byte) > back ? size - back : size;
    }
    return size;
}
