#include "pidlink/pendingreads.h"

#include <algorithm>

void PendingReads::sent(int channel, unsigned char op, qint64 now, std::optional<float> written)
{
    requests.append(Request{channel, op, now, written});
}

std::optional<PendingReads::Request> PendingReads::answer(int channel, unsigned char op)
{
    const auto it = std::find_if(requests.begin(), requests.end(), [&](const Request &r) {
        return r.channel == channel && r.op == op;
    });
    if (it == requests.end())
        return std::nullopt;
    const Request request = *it;
    requests.erase(it);
    return request;
}

QVector<PendingReads::Request> PendingReads::takeExpired(qint64 now)
{
    QVector<Request> expired;
    // Requests are kept in the order sent, so the expired ones stand at the front.
    while (!requests.isEmpty() && now - requests.constFirst().sentAt >= TimeoutMs)
        expired.append(requests.takeFirst());
    return expired;
}

std::optional<qint64> PendingReads::nextDeadline() const
{
    if (requests.isEmpty())
        return std::nullopt;
    return requests.constFirst().sentAt + TimeoutMs;
}
