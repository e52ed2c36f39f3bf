#include "tests/support/pseudoterminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        hangUp();
        return;
    }
    path = QString::fromLocal8Bit(ptsname(masterFd));
    slaveFd = ::open(ptsname(masterFd), O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Raw from the start, so nothing is echoed or translated before the program opens it.
    termios tio{};
    if (slaveFd >= 0 && tcgetattr(slaveFd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slaveFd, TCSANOW, &tio);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

void PseudoTerminal::hangUp()
{
    if (slaveFd >= 0)
        ::close(slaveFd);
    slaveFd = -1;
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    if (masterFd < 0)
        return false;
    qsizetype done = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The program's side is full: let it read.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.elapsed() > 10000)
            return false;
    }
    return true;
}

QByteArray PseudoTerminal::read(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buffer[4096];
        ssize_t n;
        while (masterFd >= 0 && (n = ::read(masterFd, buffer, sizeof buffer)) > 0)
            out.append(buffer, int(n));
        if (out.size() < count && masterFd >= 0) {
            pollfd p{masterFd, POLLIN, 0};
            ::poll(&p, 1, 2);
        }
    }
    return out;
}

QByteArray PseudoTerminal::readFor(int ms)
{
    return read(INT_MAX, ms);
}
