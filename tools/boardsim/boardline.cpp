#include "tools/boardsim/boardline.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
struct BaudEntry
{
    int rate;
    speed_t code;
};

constexpr BaudEntry baudTable[] = {
    {1200, B1200},       {2400, B2400},       {4800, B4800},       {9600, B9600},
    {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
    {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
    {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool speedCode(int baud, speed_t *code)
{
    for (const BaudEntry &entry : baudTable) {
        if (entry.rate == baud) {
            *code = entry.code;
            return true;
        }
    }
    return false;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}
} // namespace

BoardLine::~BoardLine()
{
    close();
}

void BoardLine::close()
{
    if (handle >= 0)
        ::close(handle);
    handle = -1;
}

bool BoardLine::isSupportedBaud(int baud)
{
    speed_t code;
    return speedCode(baud, &code);
}

bool BoardLine::openPseudoTerminal(QString *error)
{
    close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        *error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        *error = systemError("cannot unlock the pseudo-terminal");
        ::close(master);
        return false;
    }
    const char *slave = ptsname(master);
    if (!slave) {
        *error = systemError("cannot name the pseudo-terminal");
        ::close(master);
        return false;
    }
    // Raw before anyone opens the slave: the settings belong to the pair, and an echo or a
    // CR/LF translation would mangle frames.
    termios tio{};
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
    }
    handle = master;
    devicePath = QString::fromLocal8Bit(slave);
    pseudoTerminal = true;
    return true;
}

void BoardLine::expectReader()
{
    if (!pseudoTerminal)
        return;
    const int slave = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave >= 0)
        ::close(slave);
}

bool BoardLine::openDevice(const QString &device, int baud, QString *error)
{
    close();
    speed_t code;
    if (!speedCode(baud, &code)) {
        *error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return false;
    }
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = systemError(qPrintable(QStringLiteral("cannot open %1").arg(device)));
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        *error = systemError(qPrintable(QStringLiteral("%1 is not a serial device").arg(device)));
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        *error = systemError(qPrintable(QStringLiteral("cannot configure %1").arg(device)));
        ::close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    handle = fd;
    devicePath = device;
    pseudoTerminal = false;
    return true;
}

void BoardLine::discardQueued()
{
    if (handle >= 0)
        tcflush(handle, TCIOFLUSH);
}

int BoardLine::waitUntilTaken(int timeoutMs) const
{
    if (handle < 0)
        return -1;
    if (!pseudoTerminal) {
        // A real device: let the driver finish sending before the port closes.
        return tcdrain(handle) == 0 ? 0 : -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // A second descriptor on the slave side tells how much its reader has not taken.
    const int probe =
        ::open(devicePath.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) {
        // The reader holds the port exclusively (QSerialPort does) and we may not override
        // that: give it a moment to read, unless it hangs up first.
        const auto shortDeadline =
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
        while (std::chrono::steady_clock::now() < shortDeadline) {
            pollfd p{handle, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP))
                break;
            ::poll(nullptr, 0, 10);
        }
        return -1;
    }
    // The kernel hands written bytes to the slave's read queue a little later, so an empty
    // queue only counts once it stayed empty for a while.
    const auto settle = std::chrono::milliseconds(100);
    auto emptySince = std::chrono::steady_clock::now();
    int waiting = -1;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (ioctl(probe, FIONREAD, &waiting) != 0) {
            waiting = -1;
            break;
        }
        if (waiting > 0)
            emptySince = now;
        else if (now - emptySince >= settle)
            break;
        if (now >= deadline)
            break;
        ::poll(nullptr, 0, 5);
    }
    ::close(probe);
    return waiting;
}
