#include "datafiles/sessionfiles.h"

#include "datafiles/recentfolders.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>

namespace {
// What tells the recording from the capture. The texts are SessionFiles' to translate.
struct Row
{
    RecentFolders::Kind folder;
    const char *dialogTitle;
    const char *filter;
    const char *started; // the file
    const char *saved;   // the file, samples or bytes
    const char *failed;  // the reason
    const char *failedShort;
    const char *running; // size, duration
    const char *tooltip; // the file, and the samples where counted
    bool tooltipCounts;
};

constexpr Row rows[SessionFiles::KindCount] = {
    {RecentFolders::Recording, QT_TRANSLATE_NOOP("SessionFiles", "录制到文件"),
     QT_TRANSLATE_NOOP("SessionFiles", "CSV 文件 (*.csv)"),
     QT_TRANSLATE_NOOP("SessionFiles", "正在录制到 %1"),
     QT_TRANSLATE_NOOP("SessionFiles", "录制已保存：%1（%2个样本）"),
     QT_TRANSLATE_NOOP("SessionFiles", "录制失败：%1"),
     QT_TRANSLATE_NOOP("SessionFiles", "录制失败"),
     QT_TRANSLATE_NOOP("SessionFiles", "录制 %1 · %2"),
     QT_TRANSLATE_NOOP("SessionFiles", "录制：%1（%2个样本）"), true},
    {RecentFolders::Capture, QT_TRANSLATE_NOOP("SessionFiles", "原始数据捕获到文件"),
     QT_TRANSLATE_NOOP("SessionFiles", "捕获文件 (*.tvcap);;所有文件 (*)"),
     QT_TRANSLATE_NOOP("SessionFiles", "正在捕获到 %1"),
     QT_TRANSLATE_NOOP("SessionFiles", "捕获已保存：%1（%2字节）"),
     QT_TRANSLATE_NOOP("SessionFiles", "捕获失败：%1"),
     QT_TRANSLATE_NOOP("SessionFiles", "捕获失败"),
     QT_TRANSLATE_NOOP("SessionFiles", "捕获 %1 · %2"),
     QT_TRANSLATE_NOOP("SessionFiles", "原始数据捕获：%1"), false},
};

const Row &row(SessionFiles::Kind kind)
{
    return rows[std::size_t(kind)];
}

QString nativeName(const TimedWriter &writer)
{
    return QDir::toNativeSeparators(writer.fileName());
}
} // namespace

SessionFiles::SessionFiles(const PidLink *link, const PortController *ports, QObject *parent)
    : QObject(parent), samples(link)
{
    // The PID tab's bytes come stamped by the link that reads them, the assistant's through
    // the port controller.
    connect(link, &PidLink::bytesRead, &capture, &CaptureWriter::addBytes);
    connect(ports, &PortController::received, &capture,
            [this](const QByteArray &bytes) { capture.addBytes(bytes); });
    for (const Kind kind : {Recording, Capture}) {
        connect(writers[kind], &TimedWriter::progress, this, &SessionFiles::showState);
        connect(writers[kind], &TimedWriter::failed, this,
                [this, kind](const QString &reason) { failed(kind, reason); });
    }
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
        connect(button, &QAbstractButton::clicked, this,
                [this](bool on) { toggled(Recording, on); });
    if (action)
        connect(action, &QAction::triggered, this, [this](bool on) { toggled(Capture, on); });
    showState();
}

void SessionFiles::setFolders(RecentFolders *recent)
{
    folders = recent;
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

bool SessionFiles::start(Kind kind, const QString &path)
{
    TimedWriter &file = *writers[kind];
    const bool started = file.start(path);
    failures[kind].clear();
    if (!started) {
        failed(kind, file.errorString());
        return false;
    }
    if (folders)
        folders->rememberFile(row(kind).folder, path);
    Q_EMIT message(tr(row(kind).started).arg(QDir::toNativeSeparators(path)));
    showState();
    return true;
}

void SessionFiles::stop(Kind kind)
{
    TimedWriter &file = *writers[kind];
    if (!file.isWriting())
        return;
    file.stop();
    // Writing what was still buffered can fail too; that was said already.
    if (file.errorString().isEmpty())
        Q_EMIT message(
            tr(row(kind).saved).arg(nativeName(file), QString::number(file.itemCount())));
    showState();
}

void SessionFiles::toggled(Kind kind, bool on)
{
    if (!on) {
        stop(kind);
        return;
    }
    const Row &r = row(kind);
    const QString name = writers[kind]->defaultFileName(QDateTime::currentDateTime());
    const QString path = QFileDialog::getSaveFileName(
        dialogParent, tr(r.dialogTitle), folders ? folders->suggest(r.folder, name) : name,
        tr(r.filter));
    // A cancelled dialog changes nothing; showState unchecks the control.
    if (path.isEmpty())
        showState();
    else
        start(kind, path);
}

void SessionFiles::failed(Kind kind, const QString &reason)
{
    failures[kind] = tr(row(kind).failed).arg(reason);
    Q_EMIT failure(failures[kind]);
    showState();
}

void SessionFiles::showState()
{
    if (recording.isWriting() != bool(listening)) {
        if (listening) {
            disconnect(listening);
            listening = {};
        } else {
            listening = connect(samples, &PidLink::samplesReceived, &recording,
                                &SampleRecorder::addSamples);
        }
    }
    if (button)
        button->setChecked(recording.isWriting());
    if (action)
        action->setChecked(capture.isWriting());
    if (!label)
        return;
    QStringList parts;
    QStringList files;
    for (const Kind kind : {Recording, Capture}) {
        const TimedWriter &file = *writers[kind];
        if (!file.isWriting())
            continue;
        parts << tr(row(kind).running)
                     .arg(sizeText(file.fileSize()), durationText(file.durationMs()));
        const QString tooltip = tr(row(kind).tooltip);
        files << (row(kind).tooltipCounts
                      ? tooltip.arg(nativeName(file), QString::number(file.itemCount()))
                      : tooltip.arg(nativeName(file)));
    }
    // A failure stays in the label, short, with the whole reason in its tooltip.
    bool failing = false;
    for (const Kind kind : {Recording, Capture}) {
        if (writers[kind]->isWriting() || failures[kind].isEmpty())
            continue;
        parts << tr(row(kind).failedShort);
        files << failures[kind];
        failing = true;
    }
    const QString text = parts.join(QStringLiteral(" | "));
    if (text != label->text())
        label->setText(text);
    const QString style = failing ? QStringLiteral("color: #c62828;") : QString();
    if (label->styleSheet() != style)
        label->setStyleSheet(style);
    files.prepend(tr("正在写入的录制和原始数据捕获文件：大小和时长"));
    label->setToolTip(files.join(QLatin1Char('\n')));
    label->setVisible(!parts.isEmpty());
}
