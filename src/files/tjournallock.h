#pragma once

#include <QString>

#include <memory>

// The lock that tells a running journal from one left behind: "JOURNAL.lock" beside the
// journal, held while the instance that writes it runs, and gone with that instance however it
// ends. QLockFile on Linux (a lock file naming its process); on Windows LockFileEx on the lock
// file, which the system lets go when the process ends and which is deleted with its last handle.
class TJournalLock
{
public:
    enum class TResult { Locked, HeldElsewhere, CannotLock };

    explicit TJournalLock(const QString &journal);
    ~TJournalLock(); // unlocks and removes the lock file
    TJournalLock(const TJournalLock &) = delete;
    TJournalLock &operator=(const TJournalLock &) = delete;

    // Takes the lock without waiting.
    TResult TryLock();

private:
    struct TPrivate;
    std::unique_ptr<TPrivate> D_;
};
