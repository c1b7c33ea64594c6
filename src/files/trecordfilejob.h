#pragma once

#include "trecordfiles.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QTimer;
class TRecordTable;
enum class TSaveStage;

// A save or an open that runs while the caller's event loop goes on: the file is written or
// read on a thread of the job's own, so neither a slow disk nor a large file stops the
// caller's thread, and the table is touched only on the caller's thread. Finished is
// emitted once, on the caller's thread; a job deleted before then cancels and waits for its
// thread, leaving the table and any old file as they were.
class TRecordFileJob : public QObject
{
    Q_OBJECT
public:
    ~TRecordFileJob() override;

    virtual void Start() = 0;
    // Stops the job soon: a save leaves the old file as it was, an open appends nothing.
    virtual void Cancel();
    bool IsFinished() const { return Finished_; }

    // How far the job is: Done of Total (rows for a save, bytes for an open), and the rows
    // written or read so far. Safe to call at any time on the caller's thread.
    virtual qint64 Done() const = 0;
    virtual qint64 Total() const = 0;
    qint64 Rows() const { return Progress_.Rows.load(std::memory_order_relaxed); }

signals:
    void Finished();

protected:
    explicit TRecordFileJob(TRecordTable &table, QObject *parent);
    // Runs work on the job's thread; once it has ended, poll() sees ThreadDone() and the
    // thread is joined there. The caller's thread learns of the thread's progress only by
    // polling, never by an event the thread posts.
    void startThread(std::function<void()> work);
    bool ThreadDone() const { return ThreadDone_.load(std::memory_order_acquire); }
    void stopThread();
    virtual void poll() = 0;
    void finish();

    QPointer<TRecordTable> Table_;
    TFileProgress Progress_;
    bool Finished_ = false;

private:
    std::thread Thread_;
    std::atomic<bool> ThreadDone_{false};
    QTimer *Poll_ = nullptr;
};

// Saves a table as DBToFiles does. The rows saved are those the table holds at Start; the
// caller's thread formats them a slice at a time between its events, and the job's thread
// writes the bytes. Emptying the table meanwhile fails the save.
class TRecordSaveJob : public TRecordFileJob
{
    Q_OBJECT
public:
    TRecordSaveJob(TRecordTable &table, const QString &fileName, QStringList titles = {},
                   QObject *parent = nullptr);
    ~TRecordSaveJob() override;

    const TSaveTarget &Target() const { return Target_; }
    const TSaveOutcome &Outcome() const { return Outcome_; }
    void Start() override;
    void Cancel() override;
    qint64 Done() const override { return Rows(); }
    qint64 Total() const override { return Writer_ ? Writer_->RowCount() : 0; }

private:
    void produce();
    void poll() override;
    void writeAll(); // on the job's thread
    void tableEmptied();
    void done();

    TSaveTarget Target_;
    QStringList Titles_;
    std::unique_ptr<TRecordFileWriter> Writer_;
    QTimer *Slice_ = nullptr;
    TSaveOutcome Outcome_;
    std::function<void(TSaveStage)> StageHook_;

    // Shared with the job's thread.
    std::mutex Lock_;
    std::condition_variable Wake_;
    std::deque<QByteArray> Pieces_;
    qsizetype QueuedBytes_ = 0;
    bool Produced_ = false;       // the last piece is queued
    bool WaitingForRoom_ = false; // production paused until the queue has drained to half
    bool Stop_ = false;           // cancel or failure: the thread stops writing
    bool Committing_ = false;     // the file is being replaced: a cancel is too late
    QString Error_;
};

// Appends a file's records to a table as AnyToCds does. The job's thread reads and checks the
// whole file into a table of its own; the records are appended on the caller's thread in one
// block at the end, after the rows the table then holds.
class TRecordOpenJob : public TRecordFileJob
{
    Q_OBJECT
public:
    TRecordOpenJob(TRecordTable &table, const QString &fileName, bool emptyFirst,
                   QObject *parent = nullptr);
    ~TRecordOpenJob() override;

    const TOpenOutcome &Outcome() const { return Outcome_; }
    // Reads the file as a recording journal, whatever its name (before Start).
    void ReadAsJournal() { Form_ = TRecordFileForm::Journal; }
    void Start() override;
    qint64 Done() const override { return Progress_.Bytes.load(std::memory_order_relaxed); }
    qint64 Total() const override { return Progress_.Size.load(std::memory_order_relaxed); }

private:
    void poll() override;

    QString FileName_;
    bool EmptyFirst_;
    TRecordFileForm Form_;
    std::unique_ptr<TRecordTable> Rows_;
    TOpenOutcome Outcome_;
};
