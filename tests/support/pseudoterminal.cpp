#include "tests/support/pseudoterminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0)
        return;
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        ::close(masterFd);
        masterFd = -1;
        return;
    }
    path = QString::fromLocal8Bit(ptsname(masterFd));
    slaveFd = ::open(ptsname(masterFd), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd >= 0) {
        // Raw from the start, so nothing is echoed or translated before the program opens it.
        termios tio{};
        tcgetattr(slaveFd, &tio);
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

QByteArray PseudoTerminal::drain()
{
    QByteArray out;
    if (masterFd < 0)
        return out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, int(n));
    }
    return out;
}

QByteArray PseudoTerminal::read(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += drain();
        if (out.size() < count && masterFd >= 0) {
            pollfd p{masterFd, POLLIN, 0};
            ::poll(&p, 1, 2);
        }
    }
    return out;
}

QByteArray PseudoTerminal::readFor(int ms)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += drain();
        if (masterFd >= 0) {
            pollfd p{masterFd, POLLIN, 0};
            ::poll(&p, 1, 2);
        }
    }
    return out;
}
