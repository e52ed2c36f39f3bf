#pragma once

#include <QString>

// The board's end of the serial line: the master side of a pseudo-terminal it creates (the
// program opens the slave path), or a real serial device for a loopback between two adapters.
// Non-blocking and raw either way: no echo, no line-end translation.
class BoardLine
{
public:
    BoardLine() = default;
    ~BoardLine();
    BoardLine(const BoardLine &) = delete;
    BoardLine &operator=(const BoardLine &) = delete;

    bool openPseudoTerminal(QString *error);
    bool openDevice(const QString &device, int baud, QString *error);
    void close();

    // Baud rates that termios can set on a real device.
    static bool isSupportedBaud(int baud);

    int fd() const { return handle; }
    QString path() const { return devicePath; }
    bool isPseudoTerminal() const { return pseudoTerminal; }

    // A pty whose slave was never opened reports no hang-up, as if someone were reading it.
    // Opening and closing the slave once makes the master report one until a reader comes.
    void expectReader();

    // Throws away whatever waits in the line in both directions.
    void discardQueued();

    // A pty loses what its reader has not taken yet when the board closes it: wait up to
    // `timeoutMs` for the reader to take everything. Returns the bytes still waiting, or -1
    // when that cannot be told (the slave side cannot be opened to look). A real device is
    // drained: 0, or -1 if that failed.
    int waitUntilTaken(int timeoutMs) const;

private:
    int handle = -1;
    QString devicePath;
    bool pseudoTerminal = false;
};
