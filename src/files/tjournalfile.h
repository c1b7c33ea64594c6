#pragma once

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// An append-only file for data that must survive the process: every Append reaches the
// operating system in one write call before it returns, so a killed or crashed process loses
// nothing it appended, and a thread of the file's own flushes it to the disk (fdatasync,
// FlushFileBuffers) at most a sync period (SyncPeriodMs) after each append, so a power cut loses at
// most that much. The caller's thread never waits for the disk. Appends are whole or not at all: a
// write that fails part way is cut off again, so the file always ends after a complete append.
// QtCore only.
class TJournalFile
{
public:
    static constexpr int SyncPeriodMs = 1000;

    // syncPeriodMs other than SyncPeriodMs only for the tests of the flushing itself, which
    // would otherwise wait seconds to see a few periods pass.
    explicit TJournalFile(int syncPeriodMs = SyncPeriodMs);
    ~TJournalFile(); // flushes and closes
    TJournalFile(const TJournalFile &) = delete;
    TJournalFile &operator=(const TJournalFile &) = delete;

    // Creates the file (emptied if it exists). False with Error() when it cannot be made.
    bool Open(const QString &fileName);
    bool IsOpen() const { return Fd_ >= 0; }
    const QString &FileName() const { return FileName_; }

    // False, with Error(), once a write or a flush has failed; the file then takes nothing
    // more and keeps what it held before the failed append.
    bool Append(QByteArrayView bytes);
    // Empties the file, then appends bytes.
    bool Restart(QByteArrayView bytes);
    // Flushes to the disk now, on the caller's thread; for the rare moments that must wait.
    bool Sync();
    // After a failure, takes appends again. False when a flush had failed: what the file held
    // may not be on the disk, so the caller writes it all again (Restart).
    bool Resume();
    // Flushes, stops the flushing thread and closes the file.
    void Close();

    bool Failed() const { return !Error_.isEmpty(); }
    const QString &Error() const { return Error_; }
    // Bytes the file holds: every append that succeeded.
    qint64 Size() const { return Size_; }
    // Flushes done so far by the flushing thread.
    qint64 Syncs() const { return Syncs_.load(std::memory_order_relaxed); }

private:
    void syncLoop();
    bool fail(const QString &what, int reason);
    bool checkSync();

    const int SyncPeriodMs_;
    int Fd_ = -1;
    qint64 Size_ = 0;
    QString FileName_;
    QString Error_;
    bool FlushFailed_ = false;

    std::thread Syncer_;
    std::mutex Lock_;
    std::condition_variable Wake_;
    bool Dirty_ = false; // bytes written since the last flush began
    bool Stop_ = false;
    std::atomic<int> SyncErrno_{0};
    std::atomic<qint64> Syncs_{0};
};
