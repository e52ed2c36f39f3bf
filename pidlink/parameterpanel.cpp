#include "pidlink/parameterpanel.h"

#include "pidlink/parametertext.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QStyle>

#include <cmath>

namespace {
struct ParameterTexts
{
    int op;
    const char *received;
    const char *answered; // the board's read request answered
    const char *written;  // the program's write button
};

// Shown through tr().
constexpr ParameterTexts parameterTexts[] = {
    {CmdP, QT_TRANSLATE_NOOP("ParameterPanel", "成功接收P"),
     QT_TRANSLATE_NOOP("ParameterPanel", "成功发送P"),
     QT_TRANSLATE_NOOP("ParameterPanel", "已发送P")},
    {CmdI, QT_TRANSLATE_NOOP("ParameterPanel", "成功接收I"),
     QT_TRANSLATE_NOOP("ParameterPanel", "成功发送I"),
     QT_TRANSLATE_NOOP("ParameterPanel", "已发送I")},
    {CmdD, QT_TRANSLATE_NOOP("ParameterPanel", "成功接收D"),
     QT_TRANSLATE_NOOP("ParameterPanel", "成功发送D"),
     QT_TRANSLATE_NOOP("ParameterPanel", "已发送D")},
    {CmdTarget, QT_TRANSLATE_NOOP("ParameterPanel", "成功接收目标值"),
     QT_TRANSLATE_NOOP("ParameterPanel", "成功发送目标值"),
     QT_TRANSLATE_NOOP("ParameterPanel", "已发送目标值")},
    {CmdActual, QT_TRANSLATE_NOOP("ParameterPanel", "成功接收实际值"), "", ""},
};
constexpr ParameterTexts noTexts{0, "", "", ""};

const ParameterTexts &textsOf(int op)
{
    for (const ParameterTexts &texts : parameterTexts) {
        if (texts.op == op)
            return texts;
    }
    return noTexts;
}

constexpr quint8 keptOps[] = {CmdP, CmdI, CmdD, CmdTarget};

const char *const markProperty = "mark";
const char *const plainToolTipProperty = "plainToolTip";

// Subtle enough to read the number through, plain enough to see at a glance.
const char *const markStyle = "QLineEdit[mark=\"invalid\"] { border: 1px solid #c62828; "
                              "border-radius: 2px; background: #fdecea; }"
                              "QLineEdit[mark=\"confirmed\"] { border: 1px solid #2e7d32; "
                              "border-radius: 2px; background: #edf7ed; }";

QString invalidMessage()
{
    return ParameterPanel::tr("参数无效，未发送");
}

QString notSentMessage()
{
    return ParameterPanel::tr("串口未打开，发送失败");
}
} // namespace

ParameterPanel::ParameterPanel(PidLink *pidLink, const Fields &lineEdits, QAbstractButton *verify,
                               QObject *parent)
    : QObject(parent), link(pidLink), fields(lineEdits), verifyBox(verify)
{
    clock.start();
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &ParameterPanel::deadlinePassed);
    for (const quint8 op : keptOps) {
        QLineEdit *field = fieldOf(op);
        field->setProperty(plainToolTipProperty, field->toolTip());
        field->setStyleSheet(QLatin1String(markStyle));
        // Whatever the mark said, it said it of the text before the edit.
        connect(field, &QLineEdit::textEdited, this, [this, field] { setMark(field, Mark::None); });
    }
    pidLink->setParameterSource(
        [this](quint8 op, quint8 channel) { return answerFor(op, channel); });
    connect(link, &PidLink::parameterReceived, this, &ParameterPanel::boardValue);
    connect(link, &PidLink::readRequestAnswered, this,
            [this](int op) { emit message(tr(textsOf(op).answered)); });
    connect(link, &PidLink::readRequestRefused, this, &ParameterPanel::answerRefused);
}

QLineEdit *ParameterPanel::fieldOf(quint8 op) const
{
    switch (op) {
    case CmdP:
        return fields.p;
    case CmdI:
        return fields.i;
    case CmdD:
        return fields.d;
    case CmdTarget:
        return fields.target;
    default:
        return fields.actual;
    }
}

ParameterPanel::Mark ParameterPanel::markOf(const QLineEdit *field)
{
    const QString mark = field->property(markProperty).toString();
    if (mark == QLatin1String("invalid"))
        return Mark::Invalid;
    return mark == QLatin1String("confirmed") ? Mark::Confirmed : Mark::None;
}

void ParameterPanel::setMark(QLineEdit *field, Mark mark)
{
    if (field == fields.actual || markOf(field) == mark)
        return;
    const QString plain = field->property(plainToolTipProperty).toString();
    switch (mark) {
    case Mark::None:
        field->setProperty(markProperty, QString());
        field->setToolTip(plain);
        break;
    case Mark::Invalid:
        field->setProperty(markProperty, QStringLiteral("invalid"));
        field->setToolTip(plain + QLatin1Char('\n') + tr("红框：不是有效数字，未发送"));
        break;
    case Mark::Confirmed:
        field->setProperty(markProperty, QStringLiteral("confirmed"));
        field->setToolTip(plain + QLatin1Char('\n') + tr("绿框：板子已确认此值"));
        break;
    }
    // Property selectors are matched when the style polishes the widget.
    field->style()->unpolish(field);
    field->style()->polish(field);
    field->update();
}

bool ParameterPanel::write(quint8 op)
{
    QLineEdit *field = fieldOf(op);
    const QString text = field->text();
    const std::optional<float> value = parameterValue(text);
    if (!value) {
        setMark(field, Mark::Invalid);
        emit message(invalidMessage());
        return false;
    }
    if (!link->writeParameter(op, quint8(current), *value)) {
        emit message(notSentMessage());
        return false;
    }
    kept.written(current, op, text, *value);
    setMark(field, Mark::None);
    emit message(tr(textsOf(op).written));
    // Read back, so the board's answer can be held against the value written.
    if (verifyBox->isChecked() && link->requestParameter(op, quint8(current))) {
        kept.readSent(current, op, clock.elapsed(), *value);
        armDeadline();
    }
    return true;
}

bool ParameterPanel::writeValue(quint8 op, float value)
{
    QLineEdit *field = fieldOf(op);
    if (field == fields.actual)
        return false;
    field->setText(ChannelParameters::valueText(value));
    return write(op);
}

void ParameterPanel::read(quint8 op)
{
    if (!link->requestParameter(op, quint8(current))) {
        emit message(notSentMessage());
        return;
    }
    kept.readSent(current, op, clock.elapsed());
    armDeadline();
}

void ParameterPanel::selectChannel(int channel)
{
    if (channel == current || channel < 0 || channel >= ChannelParameters::Channels)
        return;
    for (const quint8 op : keptOps) {
        QLineEdit *field = fieldOf(op);
        kept.left(current, op, field->text(), markOf(field) == Mark::Confirmed);
    }
    actualTexts[std::size_t(current)] = fields.actual->text();
    current = channel;
    for (const quint8 op : keptOps) {
        const ChannelParameters::Field shown = kept.field(current, op);
        QLineEdit *field = fieldOf(op);
        field->setText(shown.text);
        setMark(field, shown.confirmed ? Mark::Confirmed : Mark::None);
    }
    fields.actual->setText(actualTexts[std::size_t(current)]);
}

void ParameterPanel::lineClosed()
{
    kept.lineClosed();
    deadline.stop();
}

void ParameterPanel::boardValue(int op, int channel, float value)
{
    QString text = tr(textsOf(op).received);
    const ChannelParameters::Outcome outcome = kept.boardValue(channel, quint8(op), value);
    const QString valueText = ChannelParameters::valueText(value);
    const bool finite = std::isfinite(value);
    if (channel == current) {
        QLineEdit *field = fieldOf(quint8(op));
        field->setText(valueText);
        setMark(field, finite ? Mark::Confirmed : Mark::None);
    } else {
        // Kept for its channel; the fields show another one.
        text += tr("（通道%1）").arg(channel + 1);
    }
    if (op == CmdActual && channel >= 0 && channel < ChannelParameters::Channels)
        actualTexts[std::size_t(channel)] = valueText;
    if (!finite)
        text += tr("：不是有效数字");
    if (outcome.kind == ChannelParameters::Outcome::Verified)
        text += tr("，校验通过");
    else if (outcome.kind == ChannelParameters::Outcome::VerifyFailed)
        text = ChannelParameters::verifyFailedMessage(value);
    emit message(text);
    armDeadline();
}

// The selected channel's value is what its field shows; another channel's is what it keeps. A
// channel beyond the four has no fields of its own and is told what the fields show.
std::optional<float> ParameterPanel::answerFor(quint8 op, quint8 channel) const
{
    if (channel != current && channel < ChannelParameters::Channels)
        return kept.field(channel, op).value;
    const QString text = fieldOf(op)->text();
    const ChannelParameters::Field held = kept.field(current, op);
    // A reported value shows rounded to six digits; the board gets it back exactly.
    if (held.value && held.text == text)
        return held.value;
    return parameterValue(text);
}

void ParameterPanel::answerRefused(int op, int channel)
{
    if (channel == current || channel >= ChannelParameters::Channels)
        setMark(fieldOf(quint8(op)), Mark::Invalid);
    emit message(invalidMessage());
}

void ParameterPanel::armDeadline()
{
    const std::optional<qint64> next = kept.nextDeadline();
    if (!next) {
        deadline.stop();
        return;
    }
    deadline.start(int(qMax<qint64>(0, *next - clock.elapsed())));
}

void ParameterPanel::deadlinePassed()
{
    // Reads sent together time out together: one message says it.
    if (!kept.takeExpired(clock.elapsed()).isEmpty())
        emit message(ChannelParameters::timeoutMessage());
    armDeadline();
}
