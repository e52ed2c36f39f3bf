#pragma once

#include "datafiles/capturereader.h"

#include <QFile>

#include <chrono>

// Plays a raw capture back: hands out its records when their recorded time has come, counted
// from the moment playing starts and from the first record, so a capture begun long before the
// first byte does not keep the line idle that long. A speed of 2 plays twice as fast; 0 plays
// as fast as the caller takes the records. Times are whole microseconds throughout; a gap
// longer than the chosen most is played as that most.
class CapturePlayer
{
public:
    using Clock = std::chrono::steady_clock;

    // The longest a replay counts to (some 142 years): a record later than that, from the
    // first, at the speed played, is damage. Far inside what the clock holds in nanoseconds.
    static constexpr quint64 MaxPlayUs = quint64(1) << 52;
    // Waits longer than this are worth a word as they start.
    static constexpr quint64 LongGapUs = 60'000'000;

    // Opens the capture, a regular file only (a FIFO would block the open), and reads up to
    // its first record. `maxGapUs` 0 plays gaps as recorded. False with a message.
    bool open(const QString &path, double speed, quint64 maxGapUs, QString *error);

    void start(Clock::time_point now);
    bool isStarted() const { return started; }
    // Every record handed out, or the capture is damaged from here on.
    bool isFinished() const { return !hasNext; }
    bool isDue(Clock::time_point now) const { return speedPpm == 0 || nextDue() <= now; }
    // When the next record is due; only while started and not finished.
    Clock::time_point nextDue() const;
    // The next record's bytes; reads the one after it.
    QByteArray takeNext();
    // The wait before the next record in µs when it is longer than LongGapUs, once; else 0.
    quint64 takeLongGap();

    // What damage ended the capture early, empty when it was whole.
    QString damage() const;
    quint64 recordsPlayed() const { return records; }

private:
    void readNext();
    // `us` of the capture at the speed played; false past MaxPlayUs.
    bool scaled(quint64 us, quint64 &out) const;

    QFile file;
    CaptureReader reader{&file};
    CaptureReader::Record next;
    bool hasNext = false;
    bool started = false;
    quint64 speedPpm = 1'000'000; // play speed in millionths; 0: as fast as taken
    quint64 maxGap = 0;
    bool haveFirst = false;
    quint64 firstTimeUs = 0;
    // Play time is counted from an anchor that moves wherever a gap was shortened.
    quint64 anchorRecordedUs = 0;
    quint64 anchorPlayUs = 0;
    quint64 nextPlayUs = 0;
    quint64 longGap = 0;
    QString beyondRange;
    Clock::time_point startedAt;
    quint64 records = 0;
};
