#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

// A folder on a tiny tmpfs that fills up ("size=64k") or runs out of files ("nr_inodes=2":
// the folder and one file). Mounting needs root; isMounted() says whether it worked.
class SmallDisk
{
public:
    explicit SmallDisk(const char *options)
    {
        if (folder.isValid())
            mounted = ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0,
                              options) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(folder.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
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
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isActive() const { return active; }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};
