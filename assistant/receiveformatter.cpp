#include "assistant/receiveformatter.h"

#include "base/qtcompat.h"

#include <QTime>

QString ReceiveFormatter::format(const QByteArray &chunk, bool hex, bool stamped, const QTime &now)
{
    // Shared, not copied, when no character start waits.
    QByteArray bytes = pending.isEmpty() ? chunk : pending + chunk;
    pending.clear();
    QString body;
    if (hex) {
        body = hexForm(bytes);
    } else {
        const int complete = QtCompat::utf8CompleteLength(bytes);
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
