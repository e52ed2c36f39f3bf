#pragma once

#include "pidlink/pendingreads.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <optional>

// What the PID tab knows of each channel's P, I, D and target: the last value the user wrote or
// the board reported, and whether the board confirmed it (reported it, or answered a read with
// it). The four fields serve the selected channel: on a channel switch the window shows that
// channel's entries from here. The read requests still waiting for an answer are kept here too, for
// the read time-out and for checking a write by reading it back.
//
// op is one of CmdP, CmdI, CmdD, CmdTarget for the kept values; reads of other operations (the
// actual value) are tracked but not kept. Channels outside 0..3 are kept nowhere.
class ChannelParameters
{
    Q_DECLARE_TR_FUNCTIONS(ChannelParameters)

public:
    static constexpr int Channels = 4;

    struct Field
    {
        QString text;               // what the field shows; empty while nothing is known
        std::optional<float> value; // the value that text stands for
        bool confirmed = false;     // the board reported this value
    };

    // What a value frame from the board was.
    struct Outcome
    {
        enum Kind {
            Report,       // sent by the board by itself, or after its read timed out
            ReadAnswer,   // the answer to a read request
            Verified,     // the answer to the read after a write: the value written
            VerifyFailed, // the answer to the read after a write: another value
        };
        Kind kind = Report;
        float written = 0.0f; // Verified and VerifyFailed: the value written
    };

    Field field(int channel, unsigned char op) const;

    // The user wrote `text`, which reads as `value`: the field keeps the text as typed, not
    // confirmed until the board says so.
    void written(int channel, unsigned char op, const QString &text, float value);
    // The fields leave the channel (another one is selected) showing `text`, `stillConfirmed`
    // when the field still bears the board's confirmation. A text the user changed is kept as
    // typed, not confirmed; an unchanged one keeps its entry.
    void left(int channel, unsigned char op, const QString &text, bool stillConfirmed);
    // A read request went out: by the read button, or (with `written`) the one that checks a
    // write. `now` in milliseconds of the caller's monotonic clock.
    void readSent(int channel, unsigned char op, qint64 now,
                  std::optional<float> written = std::nullopt);
    // A value frame from the board for (channel, op): kept as confirmed, whatever it answers;
    // a value that is not finite is kept as text only, unconfirmed, never an answer.
    Outcome boardValue(int channel, unsigned char op, float value);

    // The reads unanswered for a second; each earns the time-out message once.
    QVector<PendingReads::Request> takeExpired(qint64 now) { return pending.takeExpired(now); }
    std::optional<qint64> nextDeadline() const { return pending.nextDeadline(); }
    // The port closed: no answer will come.
    void lineClosed() { pending.clear(); }

    // A value as the fields show what the board sends (six significant digits).
    static QString valueText(float value);
    static QString timeoutMessage();
    // Names the board's value with as many digits as it takes to tell it from the one written.
    static QString verifyFailedMessage(float answer);

private:
    static constexpr int KeptPerChannel = 4;
    // Where (channel, op) is kept in `fields`; -1 when it is not kept.
    static int place(int channel, unsigned char op);

    std::array<Field, Channels * KeptPerChannel> fields{};
    PendingReads pending;
};
