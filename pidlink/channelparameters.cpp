#include "pidlink/channelparameters.h"

#include "pidlink/parametertext.h"
#include "pidlink/pidframe.h"

#include <cmath>

namespace {
int indexOf(unsigned char op)
{
    switch (op) {
    case CmdP:
        return 0;
    case CmdI:
        return 1;
    case CmdD:
        return 2;
    case CmdTarget:
        return 3;
    default:
        return -1;
    }
}

// The shortest text that reads back as the same binary32.
QString exactText(float value)
{
    for (int digits = 6; digits < 9; ++digits) {
        const QString text = QString::number(double(value), 'g', digits);
        if (text.toFloat() == value)
            return text;
    }
    return QString::number(double(value), 'g', 9);
}
} // namespace

int ChannelParameters::place(int channel, unsigned char op)
{
    const int index = indexOf(op);
    if (channel < 0 || channel >= Channels || index < 0)
        return -1;
    return channel * KeptPerChannel + index;
}

ChannelParameters::Field ChannelParameters::field(int channel, unsigned char op) const
{
    const int at = place(channel, op);
    return at < 0 ? Field() : fields[std::size_t(at)];
}

void ChannelParameters::written(int channel, unsigned char op, const QString &text, float value)
{
    const int at = place(channel, op);
    if (at >= 0)
        fields[std::size_t(at)] = Field{text, value, false};
}

void ChannelParameters::left(int channel, unsigned char op, const QString &text,
                             bool stillConfirmed)
{
    const int at = place(channel, op);
    if (at < 0)
        return;
    Field &kept = fields[std::size_t(at)];
    if (kept.text != text)
        kept = Field{text, parameterValue(text), false};
    else if (!stillConfirmed)
        kept.confirmed = false;
}

void ChannelParameters::readSent(int channel, unsigned char op, qint64 now,
                                 std::optional<float> written)
{
    pending.sent(channel, op, now, written);
}

ChannelParameters::Outcome ChannelParameters::boardValue(int channel, unsigned char op, float value)
{
    const int at = place(channel, op);
    // What is not a number is shown as such, but neither confirmed nor ever sent back.
    const bool finite = std::isfinite(value);
    if (at >= 0)
        fields[std::size_t(at)] =
            finite ? Field{valueText(value), value, true} : Field{valueText(value), {}, false};
    Outcome outcome;
    const std::optional<PendingReads::Request> request = pending.answer(channel, op);
    if (!request)
        return outcome;
    if (!request->written) {
        outcome.kind = Outcome::ReadAnswer;
        return outcome;
    }
    outcome.written = *request->written;
    outcome.kind = finite && value == *request->written ? Outcome::Verified : Outcome::VerifyFailed;
    return outcome;
}

QString ChannelParameters::valueText(float value)
{
    return QString::number(double(value), 'g', 6);
}

QString ChannelParameters::timeoutMessage()
{
    return tr("读取超时：板子未应答");
}

QString ChannelParameters::verifyFailedMessage(float answer)
{
    return tr("校验失败：板子返回 %1").arg(exactText(answer));
}
