#pragma once

#include "datafiles/capturewriter.h"
#include "datafiles/samplerecorder.h"

#include <QObject>
#include <QPointer>

#include <array>

class PidLink;
class PortController;
class QAbstractButton;
class QAction;
class QLabel;
class QWidget;
class RecentFolders;

// The files a session leaves behind: the recording of every sample the PID link delivers and
// the raw capture of every byte the port receives, on either tab. Owns the recorder and the
// capture writer, keeps the record button, the capture action and a status label in step with
// them, and says in messages what started, stopped or failed.
class SessionFiles : public QObject
{
    Q_OBJECT

public:
    enum Kind { Recording, Capture };
    static constexpr int KindCount = 2;

    SessionFiles(const PidLink *link, const PortController *ports, QObject *parent = nullptr);
    ~SessionFiles() override;

    // The controls it drives, any of them null. A click on the button (the recording) or a
    // trigger of the action (the capture) asks for a file and starts, or stops; the label
    // shows size and duration while either file is written, a failure in red until that file
    // is started again, and is hidden otherwise. Dialogs open over `dialogParent`.
    void setControls(QAbstractButton *recordButton, QAction *captureAction, QLabel *label,
                     QWidget *dialogParent);

    // Where the file dialogs open and what they remember; none: where the platform chooses.
    void setFolders(RecentFolders *folders);

    // Start at once on `path` (the command line's files); false after the failure message.
    bool start(Kind kind, const QString &path);
    void stop(Kind kind);

    const TimedWriter &writer(Kind kind) const { return *writers[std::size_t(kind)]; }

    // "16 B", "12 KB", "3.4 MB"; and "1:02:03" for a duration.
    static QString sizeText(qint64 bytes);
    static QString durationText(qint64 ms);

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);
    // A recording or capture that could not start or stopped on its own: to be kept in view.
    void failure(const QString &text);

private:
    void toggled(Kind kind, bool on);
    void failed(Kind kind, const QString &reason);
    void showState();

    const PidLink *samples;
    // The recording hears of samples only while it writes: every connection costs each of up
    // to hundreds of thousands of samples a second a delivery.
    QMetaObject::Connection listening;
    SampleRecorder recording;
    CaptureWriter capture;
    std::array<TimedWriter *, KindCount> writers{{&recording, &capture}};
    // The last failure of each, shown in the label until the next start.
    std::array<QString, KindCount> failures;
    QPointer<QAbstractButton> button;
    QPointer<QAction> action;
    QPointer<QLabel> label;
    QPointer<QWidget> dialogParent;
    QPointer<RecentFolders> folders;
};
