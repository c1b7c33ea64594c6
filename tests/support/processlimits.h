#pragma once

// Process-wide measures and limits that tests and benchmarks of the reader threads use.

#include <QFile>
#include <QRegularExpression>
#include <QString>

#ifdef Q_OS_WIN
#include "win32api.h"
#else
#include <sys/resource.h>
#endif

// CPU time the whole process has used so far, every thread counted.
inline double cpuSeconds()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME &t) {
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#endif
}

// While it lives, the address space is nearly used up, so that no thread's stack can be
// mapped. The sanitizers' runtimes need the room: tests skip under them, and on Windows, which
// has no such limit (Active() is false there).
class TTightAddressSpace
{
public:
#ifdef Q_OS_WIN
    bool Active() const
    {
        return false;
    }
#else
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

    bool Active() const
    {
        return Active_;
    }

private:
    rlimit Old_{};
    bool Active_ = false;
#endif
};
