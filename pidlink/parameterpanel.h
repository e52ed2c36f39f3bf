#pragma once

#include "pidlink/channelparameters.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>

class PidLink;
class QAbstractButton;
class QLineEdit;

// The PID tab's parameter fields and their traffic with the board. The fields serve the selected
// channel: each channel keeps what the user left, wrote or the board reported, and a channel
// switch shows the new channel's values. A write sends only a finite number (else the field is
// marked and nothing goes out); a field the board confirmed is marked until edited; a read left
// unanswered for a second says so; with the verify box ticked each write is read back and
// checked. Status texts go out through message().
class ParameterPanel : public QObject
{
    Q_OBJECT

public:
    struct Fields
    {
        QLineEdit *p = nullptr;
        QLineEdit *i = nullptr;
        QLineEdit *d = nullptr;
        QLineEdit *target = nullptr;
        QLineEdit *actual = nullptr;
    };

    // A field's mark, also its "mark" property ("", "invalid", "confirmed") for the style sheet.
    enum class Mark { None, Invalid, Confirmed };

    // Takes over the link's parameter traffic: its reports, its answers to the board's read
    // requests and what they are answered with. Touches no field until something happens: the
    // texts the fields hold now are channel 0's.
    ParameterPanel(PidLink *link, const Fields &fields, QAbstractButton *verifyBox,
                   QObject *parent = nullptr);

    // P, I, D or the target (write), or also the actual value (read), of the selected channel.
    // write() is true when the frame went out.
    bool write(quint8 op);
    // Puts `value` into the selected channel's field for P, I, D or the target and writes it
    // as write() does; true when the frame went out.
    bool writeValue(quint8 op, float value);
    void read(quint8 op);
    void selectChannel(int channel);
    int channel() const { return current; }
    // The port closed: no answer will come to the reads still waiting.
    void lineClosed();

    static Mark markOf(const QLineEdit *field);

Q_SIGNALS:
    void message(const QString &text);

private:
    QLineEdit *fieldOf(quint8 op) const;
    void setMark(QLineEdit *field, Mark mark);
    void boardValue(int op, int channel, float value);
    std::optional<float> answerFor(quint8 op, quint8 channel) const;
    void answerRefused(int op, int channel);
    void armDeadline();
    void deadlinePassed();

    PidLink *link;
    Fields fields;
    QAbstractButton *verifyBox;
    int current = 0;
    ChannelParameters kept;
    std::array<QString, ChannelParameters::Channels> actualTexts; // shown in `fields.actual`
    QElapsedTimer clock;
    QTimer deadline; // the oldest unanswered read's second is up
};
