#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

// Ways to make a disk refuse writes, for the tests of what is kept when it does.

// A small file system that fills up: a tmpfs of 64 KiB where mounting is allowed (root).
class SmallTmpfs
{
public:
    SmallTmpfs()
    {
        if (!folder.isValid())
            return;
        mounted = ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0,
                          "size=64k") == 0;
    }
    ~SmallTmpfs()
    {
        if (mounted)
            ::umount2(QFile::encodeName(folder.path()).constData(), MNT_DETACH);
    }
    bool isMounted() const { return mounted; }
    QString path() const { return folder.path(); }

private:
    QTemporaryDir folder;
    bool mounted = false;
};

// Files of this process may not grow past 64 KiB: writes beyond fail with EFBIG, as they
// would on a full disk. Works without privileges.
class FileSizeLimit
{
public:
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 64 * 1024;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    bool isActive() const { return active; }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};
