#pragma once

// Process-wide measures and limits that tests and benchmarks of the reader threads use.

#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <csignal>
#include <sys/resource.h>

// CPU time the whole process has used so far, every thread counted.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// While it lives, the address space is nearly used up, so that no thread's stack can be
// mapped. The sanitizers' runtimes need the room: tests skip under them.
class TTightAddressSpace
{
public:
    TTightAddressSpace()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly) || getrlimit(RLIMIT_AS, &Old_) != 0)
            return;
        const auto match = QRegularExpression(QStringLiteral("VmSize:\\s+(\\d+) kB"))
                               .match(QString::fromLatin1(status.readAll()));
        if (!match.hasMatch())
            return;
        rlimit tight = Old_;
        tight.rlim_cur = rlim_t(match.captured(1).toULongLong() * 1024 + 6 * 1024 * 1024);
        Active_ = setrlimit(RLIMIT_AS, &tight) == 0;
    }
    ~TTightAddressSpace()
    {
        if (Active_)
            setrlimit(RLIMIT_AS, &Old_);
    }
    TTightAddressSpace(const TTightAddressSpace &) = delete;
    TTightAddressSpace &operator=(const TTightAddressSpace &) = delete;

    bool Active() const { return Active_; }

private:
    rlimit Old_{};
    bool Active_ = false;
};

// Limits the size of files this process writes, as a full disk would; writes past it fail.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Old_);
        Handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old_);
        std::signal(SIGXFSZ, Handler_);
    }

private:
    rlimit Old_{};
    void (*Handler_)(int) = nullptr;
};
