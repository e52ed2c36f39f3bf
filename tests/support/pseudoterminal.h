#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal for tests: the program opens slavePath() with QSerialPort, the test
// plays the board or the peer on the master side. Reads pump the Qt event loop, because
// QSerialPort writes from it.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return masterFd >= 0; }
    QString slavePath() const { return path; }

    // Writes everything to the program's side; false on error or after hangUp().
    bool write(const QByteArray &bytes);
    // Waits, running the event loop, until `count` bytes arrived or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs = 2000);
    // Runs the event loop for `ms` and returns whatever arrived meanwhile.
    QByteArray readFor(int ms);
    // Closes the master side: to the program it looks like an unplugged adapter.
    void hangUp();

private:
    int masterFd = -1;
    int slaveFd = -1; // held so the master survives the program closing and reopening its port
    QString path;
};
