#include "datafiles/sessionfiles.h"

#include "datafiles/recentfolders.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>

SessionFiles::SessionFiles(const PidLink *link, const PortController *ports, QObject *parent)
    : QObject(parent)
{
    connect(link, &PidLink::sampleReceived, &recording, &SampleRecorder::addSample);
    // The PID tab's bytes come stamped by the link that reads them, the assistant's through
    // the port controller.
    connect(link, &PidLink::bytesRead, &capture, &CaptureWriter::addBytes);
    connect(ports, &PortController::received, &capture,
            [this](const QByteArray &bytes) { capture.addBytes(bytes); });
    connect(&recording, &SampleRecorder::progress, this, &SessionFiles::showState);
    connect(&capture, &CaptureWriter::progress, this, &SessionFiles::showState);
    connect(&recording, &SampleRecorder::failed, this, &SessionFiles::recordingFailed);
    connect(&capture, &CaptureWriter::failed, this, &SessionFiles::captureFailed);
}

SessionFiles::~SessionFiles() = default;

void SessionFiles::setControls(QAbstractButton *recordButton, QAction *captureAction,
                               QLabel *statusLabel, QWidget *parentForDialogs)
{
    button = recordButton;
    action = captureAction;
    label = statusLabel;
    dialogParent = parentForDialogs;
    // Clicks and triggers only: the program checking the controls itself asks nothing.
    if (button)
        connect(button, &QAbstractButton::clicked, this, &SessionFiles::recordClicked);
    if (action)
        connect(action, &QAction::triggered, this, &SessionFiles::captureTriggered);
    showState();
}

QString SessionFiles::defaultCaptureName(const QDateTime &at)
{
    return at.toString(QStringLiteral("'Capture-'yyyyMMdd-HHmmss'.tvcap'"));
}

QString SessionFiles::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString SessionFiles::durationText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

bool SessionFiles::startRecording(const QString &path)
{
    const bool started = recording.start(path);
    recordingFailure.clear();
    if (started) {
        if (folders)
            folders->rememberFile(RecentFolders::Recording, path);
        Q_EMIT message(tr("正在录制到 %1").arg(QDir::toNativeSeparators(path)));
    } else {
        recordingFailed(recording.errorString());
        return false;
    }
    showState();
    return started;
}

void SessionFiles::stopRecording()
{
    if (!recording.isRecording())
        return;
    recording.stop();
    // Writing what was still buffered can fail too; that was said already.
    if (recording.errorString().isEmpty())
        Q_EMIT message(tr("录制已保存：%1（%2个样本）")
                           .arg(QDir::toNativeSeparators(recording.fileName()))
                           .arg(recording.samplesRecorded()));
    showState();
}

bool SessionFiles::startCapture(const QString &path)
{
    const bool started = capture.start(path);
    captureFailure.clear();
    if (started) {
        if (folders)
            folders->rememberFile(RecentFolders::Capture, path);
        Q_EMIT message(tr("正在捕获到 %1").arg(QDir::toNativeSeparators(path)));
    } else {
        captureFailed(capture.errorString());
        return false;
    }
    showState();
    return started;
}

void SessionFiles::stopCapture()
{
    if (!capture.isCapturing())
        return;
    capture.stop();
    if (capture.errorString().isEmpty())
        Q_EMIT message(tr("捕获已保存：%1（%2字节）")
                           .arg(QDir::toNativeSeparators(capture.fileName()))
                           .arg(capture.bytesCaptured()));
    showState();
}

void SessionFiles::recordClicked(bool on)
{
    if (!on) {
        stopRecording();
        return;
    }
    const QString path = askForFile(RecentFolders::Recording, tr("录制到文件"),
                                    SampleRecorder::defaultFileName(QDateTime::currentDateTime()),
                                    tr("CSV 文件 (*.csv)"));
    // A cancelled dialog changes nothing; showState unchecks the button.
    if (path.isEmpty())
        showState();
    else
        startRecording(path);
}

void SessionFiles::captureTriggered(bool on)
{
    if (!on) {
        stopCapture();
        return;
    }
    const QString path = askForFile(RecentFolders::Capture, tr("原始数据捕获到文件"),
                                    defaultCaptureName(QDateTime::currentDateTime()),
                                    tr("捕获文件 (*.tvcap);;所有文件 (*)"));
    if (path.isEmpty())
        showState();
    else
        startCapture(path);
}

void SessionFiles::setFolders(RecentFolders *recent)
{
    folders = recent;
}

QString SessionFiles::askForFile(int kind, const QString &title, const QString &name,
                                 const QString &filter)
{
    const QString suggested = folders ? folders->suggest(RecentFolders::Kind(kind), name) : name;
    return QFileDialog::getSaveFileName(dialogParent, title, suggested, filter);
}

void SessionFiles::recordingFailed(const QString &reason)
{
    recordingFailure = tr("录制失败：%1").arg(reason);
    Q_EMIT failure(recordingFailure);
    showState();
}

void SessionFiles::captureFailed(const QString &reason)
{
    captureFailure = tr("捕获失败：%1").arg(reason);
    Q_EMIT failure(captureFailure);
    showState();
}

void SessionFiles::showState()
{
    const bool recordingOn = recording.isRecording();
    const bool captureOn = capture.isCapturing();
    if (button)
        button->setChecked(recordingOn);
    if (action)
        action->setChecked(captureOn);
    if (!label)
        return;
    QStringList parts;
    QStringList files;
    if (recordingOn) {
        parts << tr("录制 %1 · %2")
                     .arg(sizeText(recording.bytesRecorded()),
                          durationText(recording.durationMs()));
        files << tr("录制：%1（%2个样本）")
                     .arg(QDir::toNativeSeparators(recording.fileName()))
                     .arg(recording.samplesRecorded());
    }
    if (captureOn) {
        parts << tr("捕获 %1 · %2")
                     .arg(sizeText(capture.fileSize()), durationText(capture.durationMs()));
        files << tr("原始数据捕获：%1").arg(QDir::toNativeSeparators(capture.fileName()));
    }
    // A failure stays in the label, short, with the whole reason in its tooltip.
    const bool failing = !recordingOn && !recordingFailure.isEmpty();
    if (failing) {
        parts << tr("录制失败");
        files << recordingFailure;
    }
    const bool captureFailing = !captureOn && !captureFailure.isEmpty();
    if (captureFailing) {
        parts << tr("捕获失败");
        files << captureFailure;
    }
    const QString text = parts.join(QStringLiteral(" | "));
    if (text != label->text())
        label->setText(text);
    const QString style = failing || captureFailing ? QStringLiteral("color: #c62828;") : QString();
    if (label->styleSheet() != style)
        label->setStyleSheet(style);
    files.prepend(tr("正在写入的录制和原始数据捕获文件：大小和时长"));
    label->setToolTip(files.join(QLatin1Char('\n')));
    label->setVisible(!parts.isEmpty());
}
