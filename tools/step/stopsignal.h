#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM as a Qt signal: the handler only writes a byte to a pipe, whose reading
// end the event loop watches, so the stop is sent from ordinary code. One per program.
class StopSignal : public QObject
{
    Q_OBJECT

public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

Q_SIGNALS:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
};
