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

    // Throws away whatever waits in the line in both directions.
    void discardQueued();

    // A pty loses what its reader has not taken yet when the board closes it: wait up to
    // `timeoutMs` for the reader to take everything. Returns the bytes still waiting, or -1
    // when that cannot be told (a real device, or the slave side cannot be opened to look).
    int waitUntilTaken(int timeoutMs) const;

private:
    int handle = -1;
    QString devicePath;
    bool pseudoTerminal = false;
};
