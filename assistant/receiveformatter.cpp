#include "assistant/receiveformatter.h"

#include "base/qtcompat.h"

#include <QTime>

ReceiveFormatter::Arrival ReceiveFormatter::take(const QByteArray &chunk, bool hex, bool stamped,
                                                 const QTime &now)
{
    Arrival arrival;
    arrival.hex = hex;
    // Shared, not copied, when no character start waits.
    arrival.bytes = pending.isEmpty() ? chunk : pending + chunk;
    pending.clear();
    if (!hex) {
        const int complete = QtCompat::utf8CompleteLength(arrival.bytes);
        if (complete < arrival.bytes.size()) {
            pending = arrival.bytes.mid(complete);
            arrival.bytes.truncate(complete);
        }
    }
    if (stamped && !arrival.bytes.isEmpty())
        arrival.stamp = stampFor(now);
    return arrival;
}

QString ReceiveFormatter::paragraph(const char *bytes, int size, bool hex, const QString &stamp)
{
    if (size <= 0)
        return QString();
    // QString::fromUtf8 would drop a leading byte order mark; keep everything that arrived.
    const QString body = hex ? hexForm(bytes, size) : QtCompat::decodeUtf8KeepingBom(bytes, size);
    return stamp.isNull() ? body : stamp + body;
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

QString ReceiveFormatter::hexForm(const char *bytes, int size)
{
    return hexForm(QByteArray::fromRawData(bytes, size));
}
