#pragma once

#include <QVector>

#include <optional>

// The read requests sent to the board and not answered yet, oldest first. They tell an answer
// from a value the board sends by itself, hold the value a verifying read is checked against,
// and show a board that stays silent. The board answers in order, so an answer belongs to the
// oldest request for its channel and operation. Times are milliseconds of a monotonic clock the
// caller reads (a QElapsedTimer in the window, plain numbers in tests).
class PendingReads
{
public:
    static constexpr qint64 TimeoutMs = 1000;

    struct Request
    {
        int channel = 0;
        unsigned char op = 0;
        qint64 sentAt = 0;
        std::optional<float> written; // a read that checks a write: the value written
    };

    void sent(int channel, unsigned char op, qint64 now,
              std::optional<float> written = std::nullopt);
    // Removes and returns the request a value frame for (channel, op) answers; nothing when none
    // waits for it.
    std::optional<Request> answer(int channel, unsigned char op);
    // Removes and returns, oldest first, the requests that have waited TimeoutMs or longer. An
    // answer that comes after that counts as a value the board sent by itself.
    QVector<Request> takeExpired(qint64 now);
    // When the oldest request times out, for the caller's timer; nothing when none waits.
    std::optional<qint64> nextDeadline() const;
    // The line is gone: nothing will be answered.
    void clear() { requests.clear(); }

private:
    QVector<Request> requests;
};
