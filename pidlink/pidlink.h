#pragma once

#include "base/channelsample.h"
#include "pidlink/framereceiver.h"
#include "pidlink/runcontrol.h"
#include "pidlink/samplelinesplitter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QIODevice;

// The PID tab's link to the controller board over one QIODevice (the serial port in the
// program, a buffer or a pipe in tests): reads the board's frames or text lines, answers its
// read requests, writes the program's command frames and keeps the run flags and the link's
// counters. It reports everything as signals and touches no widget.
class PidLink : public QObject
{
    Q_OBJECT

public:
    explicit PidLink(QObject *parent = nullptr);
    ~PidLink() override;

    // Not owned. Commands are written only while it is open for writing.
    void setDevice(QIODevice *device);

    // Handles bytes read elsewhere (a replay, a test), in the current receive protocol, as
    // one read arrived at `arrivalNs` (ArrivalClock); negative: now.
    void feed(const QByteArray &bytes, qint64 arrivalNs = -1);

    // Text sample lines instead of binary frames. Neither protocol's half-read frame or line
    // is dropped by switching.
    void setStringMode(bool on) { textMode = on; }
    bool stringMode() const { return textMode; }

    // Commands to the board; false, and nothing written, while the device is not open.
    bool requestParameter(quint8 op, quint8 channel);
    bool writeParameter(quint8 op, quint8 channel, float value);

    // The controller run (RunControl's rule). The button's change writes the start or stop
    // frame (when the device is open) and reports runChanged and runStatus; setting the run
    // it already has does nothing. The board's start command makes sure a run is active, its
    // stop command that none is.
    bool runActive() const { return run.isActive(); }
    void setRunActive(bool active);
    // The port closed: the run ends without a frame, and nothing of the board is remembered.
    void portClosed();

    // The line is gone (an adapter pulled out): its half frame or half line would be glued
    // to the first bytes of the next line, so both are dropped.
    void forgetLine();

    // What the board is told when it asks for P, I, D or the target of a channel; nothing
    // refuses the answer (the program holds no valid number for it).
    using ParameterSource = std::function<std::optional<float>(quint8 op, quint8 channel)>;
    void setParameterSource(ParameterSource source);

    const FrameReceiver::Health &frameHealth() const { return frames.health(); }
    const SampleLineSplitter::Health &lineHealth() const { return lines.health(); }
    void resetHealth();

public Q_SLOTS:
    // Reads everything the device holds and handles it: the port's readyRead() comes here.
    void readAvailable();

Q_SIGNALS:
    // One per read, stamped when it was read (ArrivalClock); its samples carry the same stamp.
    void bytesRead(const QByteArray &bytes, qint64 arrivalNs);
    // The samples of a read, stamped as bytesRead: one per channel data frame, in string mode
    // one per channel of a line in channel order. Whatever else the read brings (a command,
    // an error) is told between them, in the order the bytes came.
    void samplesReceived(const ChannelSamples &samples, qint64 arrivalNs);
    // The board sent P, I, D, the target or the actual value.
    void parameterReceived(int op, int channel, float value);
    void readRequestAnswered(int op, float value);
    // The board's read request went unanswered: the source had no valid number.
    void readRequestRefused(int op, int channel);
    void parameterWritten(int op, int channel, float value);
    void runChanged(bool active);
    // What a change of the run, or the board's start or stop command, says in the status bar.
    void runStatus(const QString &message);
    // "数据帧头错误", "校验错误" or "数据格式错误，接收失败".
    void linkError(const QString &message);

private:
    bool canWrite() const;
    void writeFrame(quint8 op, quint8 dir, quint8 channel, float value);
    void handleFrameEvent(const FrameReceiver::Event &event);
    void handleCommand(const FrameReceiver::Event &event);
    void handleLineEvent(const SampleLineSplitter::Event &event);
    void runEvent(RunControl::Event event);
    void handOnSamples();

    QIODevice *io = nullptr;
    qint64 readNs = -1; // the stamp of the read being handled
    bool textMode = false;
    RunControl run;
    ParameterSource parameterSource;
    FrameReceiver frames;
    SampleLineSplitter lines;
    std::vector<FrameReceiver::Event> frameEvents;     // reused by every read
    std::vector<SampleLineSplitter::Event> lineEvents; // reused by every read
    ChannelSamples samples;                            // of the read, not yet handed on
};
