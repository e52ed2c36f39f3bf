// Why a port does not open, against real files and pseudo-terminals: what QSerialPort reports
// for each and the reason the user is shown.
#include "serial/openfailure.h"
#include "tests/support/pseudoterminal.h"
#include "tests/support/testdata.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
enum Setup {
    Missing,
    Directory,
    RegularFile,
    NoName,
    HeldByOpenPort,
    NoAccess,        // a pty nobody but its owner may use
    TtyGroupOnly,    // a pty its group may use
    HeldExclusively, // a pty another program holds with TIOCEXCL, without a lock file
};

const char *const driverText = "<driver>";

// The reason the open of `path` fails with, seen by this process.
QString reasonFor(const QString &path)
{
    QSerialPort port;
    port.setPortName(path);
    if (port.open(QIODevice::ReadWrite))
        return QStringLiteral("<opened>");
    const QString reason = openFailureReason(port);
    return reason == port.errorString() ? QString::fromLatin1(driverText) : reason;
}

// The same as an unprivileged user: root opens what the permissions forbid and ignores
// TIOCEXCL, so a root run asks a child that has dropped to nobody.
QString reasonForOtherUser(const QString &path)
{
    if (geteuid() != 0)
        return reasonFor(path);
    int fds[2];
    if (pipe(fds) != 0)
        return QStringLiteral("<no pipe>");
    const pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        int status = 1;
        if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
            const QByteArray reason = reasonFor(path).toUtf8();
            status =
                ::write(fds[1], reason.constData(), size_t(reason.size())) == reason.size() ? 0 : 1;
        }
        _exit(status);
    }
    ::close(fds[1]);
    QByteArray reason;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        reason.append(buffer, int(n));
    ::close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? QString::fromUtf8(reason)
                                                         : QStringLiteral("<child failed>");
}
} // namespace

class OpenFailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reasons_data();
    void reasons();
};

void OpenFailureTest::reasons_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<QString>("expected"); // %1: the device's path
    const auto permission = [](const char *group) {
        return QStringLiteral(
                   "没有权限：用 sudo usermod -aG %1 $USER 把用户加入 %1 组，然后重新登录")
            .arg(QLatin1String(group));
    };
    const QString busy = QStringLiteral("串口被其他程序占用");
    QTest::newRow("missing device") << int(Missing) << QStringLiteral("找不到设备 %1");
    QTest::newRow("directory") << int(Directory) << QString(driverText);
    QTest::newRow("regular file") << int(RegularFile) << QString(driverText);
    QTest::newRow("no port chosen") << int(NoName) << QStringLiteral("未选择串口");
    QTest::newRow("pty held by another open") << int(HeldByOpenPort) << busy;
    QTest::newRow("pty without permission") << int(NoAccess) << permission("dialout");
    QTest::newRow("pty of the tty group") << int(TtyGroupOnly) << permission("tty");
    QTest::newRow("pty held exclusively") << int(HeldExclusively) << busy;
}

void OpenFailureTest::reasons()
{
    QFETCH(int, setup);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PseudoTerminal pty;
    QVERIFY(pty.isOpen());
    const QByteArray slave = pty.slavePath().toLocal8Bit();
    QString path = pty.slavePath();
    QSerialPort holder;
    int exclusiveFd = -1;

    switch (Setup(setup)) {
    case Missing:
        path = dir.filePath(QStringLiteral("ttyUSB9"));
        break;
    case Directory:
        path = dir.path();
        break;
    case RegularFile:
        path = dir.filePath(QStringLiteral("plain"));
        QVERIFY(writeFile(path, "not a tty"));
        break;
    case NoName:
        path.clear();
        break;
    case HeldByOpenPort:
        holder.setPortName(path);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        break;
    case NoAccess:
        QCOMPARE(chmod(slave.constData(), 0), 0);
        break;
    case TtyGroupOnly:
        if (geteuid() != 0 || !getgrnam("tty") ||
            chown(slave.constData(), 0, getgrnam("tty")->gr_gid) != 0)
            QSKIP("needs root and a tty group to give the pty to");
        QCOMPARE(chmod(slave.constData(), 0660), 0);
        break;
    case HeldExclusively:
        exclusiveFd = ::open(slave.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(exclusiveFd >= 0);
        QCOMPARE(ioctl(exclusiveFd, TIOCEXCL), 0);
        QCOMPARE(chmod(slave.constData(), 0666), 0);
        break;
    }

    const bool asOtherUser = setup == NoAccess || setup == TtyGroupOnly || setup == HeldExclusively;
    const QString reason = asOtherUser ? reasonForOtherUser(path) : reasonFor(path);
    if (exclusiveFd >= 0)
        ::close(exclusiveFd);
    QCOMPARE(reason, expected.contains(QLatin1String("%1")) ? expected.arg(path) : expected);
}

QTEST_GUILESS_MAIN(OpenFailureTest)
#include "tst_openfailure.moc"
