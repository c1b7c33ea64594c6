#include "tjournalfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
int openForAppend(const QString &name)
{
    return _wopen(reinterpret_cast<const wchar_t *>(name.utf16()),
                  _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
long long writeSome(int fd, const char *data, qsizetype n)
{
    return _write(fd, data, unsigned(std::min<qsizetype>(n, 1 << 30)));
}
int truncateTo(int fd, qint64 size)
{
    return _chsize_s(fd, size) == 0 ? 0 : -1;
}
int flushToDisk(int fd)
{
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(fd))))
        return 0;
    const DWORD why = GetLastError();
    errno = why == ERROR_DISK_FULL || why == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
    return -1;
}
int closeFile(int fd)
{
    return _close(fd);
}
#else
int openForAppend(const QString &name)
{
    return ::open(QFile::encodeName(name).constData(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
}
long long writeSome(int fd, const char *data, qsizetype n)
{
    return ::write(fd, data, std::size_t(n));
}
int truncateTo(int fd, qint64 size)
{
    return ::ftruncate(fd, off_t(size));
}
int flushToDisk(int fd)
{
    return ::fdatasync(fd);
}
int closeFile(int fd)
{
    return ::close(fd);
}
#endif

QString reasonText(int reason)
{
    return QString::fromLocal8Bit(std::strerror(reason));
}

} // namespace

TJournalFile::TJournalFile(int syncPeriodMs)
    : SyncPeriodMs_(syncPeriodMs)
{}

TJournalFile::~TJournalFile()
{
    Close();
}

bool TJournalFile::Open(const QString &fileName)
{
    Close();
    Error_.clear();
    FlushFailed_ = false;
    SyncErrno_.store(0);
    FileName_ = fileName;
    Size_ = 0;
    Fd_ = openForAppend(fileName);
    if (Fd_ < 0)
        return fail(
            QStringLiteral("Cannot create file \"%1\"").arg(QDir::toNativeSeparators(fileName)),
            errno);
    Stop_ = false;
    Dirty_ = false;
    Syncer_ = std::thread(&TJournalFile::syncLoop, this);
    return true;
}

bool TJournalFile::Append(QByteArrayView bytes)
{
    if (Fd_ < 0 || Failed() || !checkSync())
        return false;
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const long long n = writeSome(Fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A full disk often takes part of a write and refuses the rest; the part must not
            // stay, or the file would end inside a line.
            const int reason = n < 0 ? errno : ENOSPC;
            truncateTo(Fd_, Size_);
            return fail(
                QStringLiteral("Cannot write file \"%1\"").arg(QDir::toNativeSeparators(FileName_)),
                reason);
        }
        p += n;
        left -= qsizetype(n);
    }
    Size_ += bytes.size();
    // Only the first append after a flush wakes the flushing thread; later ones find it
    // counting down its period already, and cost no more than the flag.
    bool wake = false;
    {
        const std::lock_guard lock(Lock_);
        wake = !Dirty_;
        Dirty_ = true;
    }
    if (wake)
        Wake_.notify_one();
    return true;
}

bool TJournalFile::Restart(QByteArrayView bytes)
{
    if (Fd_ < 0 || Failed() || !checkSync())
        return false;
    if (truncateTo(Fd_, 0) != 0)
        return fail(
            QStringLiteral("Cannot empty file \"%1\"").arg(QDir::toNativeSeparators(FileName_)),
            errno);
    Size_ = 0;
    return Append(bytes);
}

bool TJournalFile::Resume()
{
    checkSync();
    const bool whole = !FlushFailed_;
    Error_.clear();
    FlushFailed_ = false;
    SyncErrno_.store(0);
    if (Fd_ >= 0 && truncateTo(Fd_, Size_) != 0)
        fail(QStringLiteral("Cannot write file \"%1\"").arg(QDir::toNativeSeparators(FileName_)),
             errno);
    return whole;
}

bool TJournalFile::Sync()
{
    if (Fd_ < 0 || Failed())
        return false;
    if (flushToDisk(Fd_) != 0) {
        FlushFailed_ = true;
        return fail(
            QStringLiteral("Cannot flush file \"%1\"").arg(QDir::toNativeSeparators(FileName_)),
            errno);
    }
    return checkSync();
}

void TJournalFile::Close()
{
    if (Fd_ < 0)
        return;
    {
        const std::lock_guard lock(Lock_);
        Stop_ = true;
    }
    Wake_.notify_one();
    Syncer_.join(); // its last pass flushes what was still dirty
    checkSync();
    closeFile(Fd_);
    Fd_ = -1;
}

void TJournalFile::syncLoop()
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(SyncPeriodMs_);
    Clock::time_point last = Clock::now() - period;
    std::unique_lock lock(Lock_);
    for (;;) {
        Wake_.wait(lock, [this] { return Dirty_ || Stop_; });
        // Flushes at most once a period, however fast the appends come: each one reaches the
        // disk no later than a period after it was written.
        Wake_.wait_until(lock, last + period, [this] { return Stop_; });
        const bool dirty = Dirty_;
        Dirty_ = false;
        const bool stop = Stop_;
        lock.unlock();
        if (dirty) {
            last = Clock::now();
            if (flushToDisk(Fd_) != 0) {
                int expected = 0;
                SyncErrno_.compare_exchange_strong(expected, errno);
            }
            Syncs_.fetch_add(1, std::memory_order_relaxed);
        }
        lock.lock();
        if (stop && !Dirty_)
            return;
    }
}

bool TJournalFile::checkSync()
{
    if (const int reason = SyncErrno_.load(); reason != 0 && !Failed()) {
        FlushFailed_ = true;
        return fail(
            QStringLiteral("Cannot flush file \"%1\"").arg(QDir::toNativeSeparators(FileName_)),
            reason);
    }
    return !Failed();
}

bool TJournalFile::fail(const QString &what, int reason)
{
    Error_ = what + QStringLiteral(". ") + reasonText(reason);
    return false;
}
