#pragma once

#include "datafiles/capturereader.h"

#include <QFile>

#include <chrono>

// Plays a raw capture back: hands out its records when their recorded time has come, counted
// from the moment playing starts and from the first record, so a capture begun long before the
// first byte does not keep the line idle that long. A speed of 2 plays twice as fast; 0 plays
// as fast as the caller takes the records.
class CapturePlayer
{
public:
    using Clock = std::chrono::steady_clock;

    // Opens the capture and reads up to its first record. False with a message.
    bool open(const QString &path, double speed, QString *error);

    void start(Clock::time_point now);
    bool isStarted() const { return started; }
    // Every record handed out, or the capture is damaged from here on.
    bool isFinished() const { return !hasNext; }
    bool isDue(Clock::time_point now) const { return speed <= 0.0 || nextDue() <= now; }
    // When the next record is due; only while started and not finished.
    Clock::time_point nextDue() const;
    // The next record's bytes; reads the one after it.
    QByteArray takeNext();

    // What damage ended the capture early, empty when it was whole.
    QString damage() const { return reader.errorString(); }
    quint64 recordsPlayed() const { return records; }

private:
    void readNext();

    QFile file;
    CaptureReader reader{&file};
    CaptureReader::Record next;
    bool hasNext = false;
    bool started = false;
    double speed = 1.0;
    quint64 firstTimeUs = 0;
    Clock::time_point startedAt;
    quint64 records = 0;
};
