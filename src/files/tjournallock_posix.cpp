#include "tjournallock.h"

#include <QLockFile>

struct TJournalLock::TPrivate
{
    explicit TPrivate(const QString &name)
        : Lock(name)
    {}
    QLockFile Lock;
};

TJournalLock::TJournalLock(const QString &journal)
    : D_(std::make_unique<TPrivate>(journal + QStringLiteral(".lock")))
{
    // Only a lock whose process is gone (or which was taken before the last boot) is stale;
    // a long-running instance keeps its journal however old the lock is.
    D_->Lock.setStaleLockTime(0);
}

TJournalLock::~TJournalLock() = default;

TJournalLock::TResult TJournalLock::TryLock()
{
    if (D_->Lock.tryLock(0))
        return TResult::Locked;
    return D_->Lock.error() == QLockFile::LockFailedError ? TResult::HeldElsewhere
                                                          : TResult::CannotLock;
}
