#include "tjournallock.h"

#include <QDir>

#include <windows.h>

struct TJournalLock::TPrivate
{
    QString Name;
    HANDLE File = INVALID_HANDLE_VALUE;
    bool Held = false;
};

TJournalLock::TJournalLock(const QString &journal)
    : D_(std::make_unique<TPrivate>())
{
    D_->Name = QDir::toNativeSeparators(journal + QStringLiteral(".lock"));
}

TJournalLock::~TJournalLock()
{
    if (D_->File == INVALID_HANDLE_VALUE)
        return;
    if (D_->Held) {
        OVERLAPPED whole = {};
        UnlockFileEx(D_->File, 0, 1, 0, &whole);
    }
    // Deleted on close, once no other instance has it open to try it.
    CloseHandle(D_->File);
}

TJournalLock::TResult TJournalLock::TryLock()
{
    if (D_->Held)
        return TResult::Locked;
    if (D_->File == INVALID_HANDLE_VALUE) {
        // Every instance opens the lock file sharing everything, so that the byte lock alone
        // decides; the file goes with the last handle, even when its process is killed.
        D_->File = CreateFileW(
            reinterpret_cast<const wchar_t *>(D_->Name.utf16()), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (D_->File == INVALID_HANDLE_VALUE)
            return TResult::CannotLock;
    }
    OVERLAPPED first = {};
    if (LockFileEx(D_->File, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &first)) {
        D_->Held = true;
        return TResult::Locked;
    }
    const DWORD why = GetLastError();
    return why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING ? TResult::HeldElsewhere
                                                                  : TResult::CannotLock;
}
