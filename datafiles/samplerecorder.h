#pragma once

#include "datafiles/appendfile.h"

#include <QObject>

class QDateTime;

// Records every sample of every channel to a file as it arrives (the rows of RecordingCodec),
// whatever the chart keeps. Rows reach the disk at least once a second; when the disk refuses
// one the recording stops, keeps what was written and says why.
class SampleRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SampleRecorder(QObject *parent = nullptr);
    ~SampleRecorder() override;

    // "Record-YYYYMMDD-HHMMSS.csv"
    static QString defaultFileName(const QDateTime &at);

    // Creates or replaces the file and writes the header row; time counts from now. False,
    // with errorString(), when the file cannot be written.
    bool start(const QString &path);
    // Writes what is buffered and closes the file.
    void stop();
    bool isRecording() const { return file.isOpen(); }

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }
    quint64 samplesRecorded() const { return samples; }
    qint64 bytesRecorded() const { return file.size(); }
    qint64 durationMs() const;

public Q_SLOTS:
    // One sample of channel 0..3, as the link delivers it, stamped with its read
    // (ArrivalClock; negative: now). Ignored while not recording.
    void addSample(int channel, float actual, float target, qint64 arrivalNs = -1);

Q_SIGNALS:
    // While recording, after each write to disk (at least once a second).
    void progress(qint64 bytes, qint64 durationMs);
    // The recording stopped because the disk refused a write; the file keeps what came before.
    void failed(const QString &reason);

private:
    AppendFile file;
    qint64 startNs = 0; // on ArrivalClock
    qint64 elapsedMs() const;
    qint64 stoppedAtMs = 0;
    quint64 samples = 0;
};
