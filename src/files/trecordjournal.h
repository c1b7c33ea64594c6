#pragma once

#include "tjournalfile.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class TJournalLock;
class QTimer;
class TRecordTable;

// The record table mirrored on disk while the program runs, so that a crash, a kill or a power
// cut does not take the recording with it. The journal is a record file in the text form
// (header line, then one line per row), so Open reads it like any saved file. Every row posted
// to the table is written in the same pass of the event loop (one write call, no flush on the
// caller's thread); emptying the table empties the journal. Each running instance has a
// journal of its own, locked while it runs; a normal end renames it to the one kept closed
// journal, so only a journal left open by an instance that is gone is ever restored. Rows are
// written in the journal's own text form (ttextrecords.h), so every value comes back exactly.
// A failed write (a full disk) is tried again once a second, with the rows missed meanwhile,
// until the journal is whole again.
class TRecordJournal : public QObject
{
    Q_OBJECT
public:
    // $XDG_STATE_HOME/lumetra, by default ~/.local/state/lumetra.
    static QString Folder();
    // The journal of the last session that ended normally, in folder; only the latest is kept.
    static QString ClosedFileName(const QString &folder);

    explicit TRecordJournal(TRecordTable &table, QObject *parent = nullptr);
    // Without Close the journal stays as an unclosed one, to be offered at the next start.
    ~TRecordJournal() override;

    // Creates this instance's journal in folder and writes the rows the table holds. False
    // (and the journal off, with Error naming the folder and the reason) when it cannot.
    bool Start(const QString &folder = Folder());
    // A normal end: everything flushed, then the journal replaces the last closed one, unless
    // it holds no rows or is not whole (a write failed and never came through).
    void Close();

    bool IsOn() const { return File_.IsOpen() && !File_.Failed(); }
    QString FileName() const { return File_.FileName(); }
    const QString &Error() const { return Error_; }
    qsizetype RowsWritten() const { return Written_; }
    qint64 BytesWritten() const { return File_.Size(); }
    // Writes the rest of a block that is being written a slice per pass, at once.
    void Flush();
    // Writes what is pending and flushes it to the disk now.
    bool Sync()
    {
        Flush();
        return File_.Sync();
    }

signals:
    // Raised on the thread the table lives on when the journal goes off (not again while it
    // is being retried), and when it holds every row again.
    void Failed(const QString &why);
    void Resumed();

private:
    void write(qsizetype end);
    void emptied();
    void fail();
    void retry();

    QPointer<TRecordTable> Table_;
    TJournalFile File_;
    std::unique_ptr<TJournalLock> Lock_;
    QByteArray Header_;
    QByteArray Buffer_;
    // Rows of a block written in one pass: about 20 ms of formatting.
    static constexpr qsizetype SliceRows = 50000;
    qsizetype Written_ = 0; // table rows the journal holds
    bool CatchUpPending_ = false;
    bool Failing_ = false;
    bool EmptiedWhileFailing_ = false;
    QTimer *Retry_ = nullptr;
    QString Error_;
    bool Closed_ = false;
};

// A journal whose instance ended without closing it. While this object lives it holds the
// journal's lock, so no other instance offers it at the same time; in a folder where no lock can
// be made (read-only, full) it is read as it stands, without a lock, and cannot be removed.
class TAbandonedJournal
{
public:
    // The journals in folder whose instances are gone, oldest first, each cut back to its last
    // complete line. Journals of running instances are left alone; empty ones are removed.
    static std::vector<std::unique_ptr<TAbandonedJournal>> Find(const QString &folder);

    ~TAbandonedJournal(); // lets go of the lock; the file stays

    const QString &FileName() const { return FileName_; }
    // The records it holds: exactly what a restore (read as a journal) appends.
    qsizetype Rows() const { return Rows_; }
    // Damaged lines a restore leaves out.
    qsizetype DamagedLines() const { return Damaged_; }
    bool Claimed() const { return Lock_ != nullptr; }
    // Removes the file once its records are safe elsewhere; false when it cannot.
    bool Discard();

private:
    TAbandonedJournal() = default;

    QString FileName_;
    qsizetype Rows_ = 0;
    qsizetype Damaged_ = 0;
    std::unique_ptr<TJournalLock> Lock_;
};
