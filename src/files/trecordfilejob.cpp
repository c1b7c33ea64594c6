#include "trecordfilejob.h"

#include "trecordtable.h"
#include "tsavestagehook.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

constexpr qsizetype PieceBytes = 1 << 20;
// Formatted bytes waiting for a slow disk stay below this; production pauses meanwhile.
constexpr qsizetype QueueLimit = 16 * PieceBytes;
// How long one slice of formatting may hold the caller's thread before it yields.
constexpr qint64 SliceMs = 10;
// How often the caller's thread looks at the job's thread.
constexpr int PollMs = 10;

std::function<void(TSaveStage)> &stageHook()
{
    static std::function<void(TSaveStage)> hook;
    return hook;
}

} // namespace

void SetSaveStageHook(std::function<void(TSaveStage)> hook)
{
    stageHook() = std::move(hook);
}

// --- TRecordFileJob --------------------------------------------------------------------------

TRecordFileJob::TRecordFileJob(TRecordTable &table, QObject *parent)
    : QObject(parent)
    , Table_(&table)
{
    Poll_ = new QTimer(this);
    Poll_->setInterval(PollMs);
    connect(Poll_, &QTimer::timeout, this, [this] { poll(); });
}

TRecordFileJob::~TRecordFileJob()
{
    // Subclasses stop their threads first; this is the last guard.
    if (Thread_.joinable())
        Thread_.join();
}

void TRecordFileJob::startThread(std::function<void()> work)
{
    ThreadDone_.store(false);
    Thread_ = std::thread([this, work = std::move(work)] {
        work();
        ThreadDone_.store(true, std::memory_order_release);
    });
    Poll_->start();
}

void TRecordFileJob::Cancel()
{
    Progress_.Cancel.store(true);
}

void TRecordFileJob::finish()
{
    Poll_->stop();
    Finished_ = true;
    emit Finished();
}

void TRecordFileJob::stopThread()
{
    if (Thread_.joinable())
        Thread_.join();
}

// --- TRecordSaveJob --------------------------------------------------------------------------

TRecordSaveJob::TRecordSaveJob(TRecordTable &table, const QString &fileName, QStringList titles,
                               QObject *parent)
    : TRecordFileJob(table, parent)
    , Target_(SaveTargetOf(fileName))
    , Titles_(std::move(titles))
{
    Slice_ = new QTimer(this);
    Slice_->setSingleShot(true);
    Slice_->setInterval(0);
    connect(Slice_, &QTimer::timeout, this, &TRecordSaveJob::produce);
    connect(&table, &TRecordTable::AboutToEmpty, this, &TRecordSaveJob::tableEmptied);
}

TRecordSaveJob::~TRecordSaveJob()
{
    {
        const std::lock_guard lock(Lock_);
        Stop_ = true;
    }
    Wake_.notify_all();
    stopThread();
}

void TRecordSaveJob::Start()
{
    StageHook_ = stageHook();
    Writer_ = std::make_unique<TRecordFileWriter>(*Table_, Target_.Form, Titles_);
    startThread([this] { writeAll(); });
    produce();
}

void TRecordSaveJob::Cancel()
{
    TRecordFileJob::Cancel();
    {
        const std::lock_guard lock(Lock_);
        Stop_ = true;
    }
    Wake_.notify_all();
    Slice_->stop();
}

void TRecordSaveJob::tableEmptied()
{
    const std::lock_guard lock(Lock_);
    if (Produced_ || Stop_)
        return; // every byte is made already, or the save is over
    Error_ = QStringLiteral("The table was cleared before it was saved.");
    Stop_ = true;
    Wake_.notify_all();
    Slice_->stop();
}

void TRecordSaveJob::produce()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        {
            const std::lock_guard lock(Lock_);
            if (Stop_)
                return;
            if (QueuedBytes_ >= QueueLimit) {
                WaitingForRoom_ = true; // poll() goes on once the queue has drained to half
                return;
            }
        }
        QByteArray piece;
        piece.reserve(PieceBytes + 4096);
        const bool last = Writer_->Produce(piece, PieceBytes);
        Progress_.Rows.store(Writer_->RowsWritten(), std::memory_order_relaxed);
        {
            const std::lock_guard lock(Lock_);
            QueuedBytes_ += piece.size();
            Pieces_.push_back(std::move(piece));
            Produced_ = last;
        }
        Wake_.notify_one();
        if (last)
            return;
        if (clock.elapsed() >= SliceMs) {
            Slice_->start(); // the rest after the events waiting now
            return;
        }
    }
}

void TRecordSaveJob::poll()
{
    if (ThreadDone()) {
        done();
        return;
    }
    bool room = false;
    {
        const std::lock_guard lock(Lock_);
        room = WaitingForRoom_ && !Stop_ && QueuedBytes_ <= QueueLimit / 2;
        if (room)
            WaitingForRoom_ = false;
    }
    if (room && !Slice_->isActive())
        Slice_->start();
}

void TRecordSaveJob::writeAll()
{
    TRecordFileSink sink;
    const bool opened = sink.Open(Target_.FileName);
    std::unique_lock lock(Lock_);
    if (!opened) {
        Error_ = sink.Error();
        Stop_ = true;
        return;
    }
    for (;;) {
        Wake_.wait(lock, [this] { return Stop_ || !Pieces_.empty() || Produced_; });
        if (Stop_) {
            sink.Cancel();
            return;
        }
        if (Pieces_.empty()) {
            lock.unlock();
            if (StageHook_)
                StageHook_(TSaveStage::BeforeCommit);
            lock.lock();
            if (Stop_) {
                sink.Cancel();
                return;
            }
            // The point of no return: a cancel from now on cannot keep the old file, so the
            // save goes on to its end and is reported as what it is.
            Committing_ = true;
            lock.unlock();
            if (StageHook_)
                StageHook_(TSaveStage::Committing);
            const bool committed = sink.Commit();
            lock.lock();
            if (!committed)
                Error_ = sink.Error();
            return;
        }
        const QByteArray piece = std::move(Pieces_.front());
        Pieces_.pop_front();
        QueuedBytes_ -= piece.size();
        lock.unlock();
        const bool written = sink.Write(piece);
        lock.lock();
        if (!written) {
            Error_ = sink.Error();
            Stop_ = true;
            return;
        }
    }
}

void TRecordSaveJob::done()
{
    stopThread();
    Slice_->stop();
    QString error;
    bool committing = false;
    {
        const std::lock_guard lock(Lock_);
        error = Error_;
        committing = Committing_;
    }
    // A cancel that came once the file was being replaced changed nothing: the save is done.
    const bool cancelled = error.isEmpty() && !committing && Progress_.Cancel.load();
    // As a text save walks the table, it leaves the last record current.
    if (!cancelled && Target_.Form == TRecordFileForm::Text && Table_)
        Table_->Last();
    Outcome_ = SaveOutcomeOf(Target_, Writer_->RowCount(), error, cancelled);
    finish();
}

// --- TRecordOpenJob --------------------------------------------------------------------------

TRecordOpenJob::TRecordOpenJob(TRecordTable &table, const QString &fileName, bool emptyFirst,
                               QObject *parent)
    : TRecordFileJob(table, parent)
    , FileName_(fileName)
    , EmptyFirst_(emptyFirst)
    , Form_(OpenFormOf(fileName))
{}

TRecordOpenJob::~TRecordOpenJob()
{
    Cancel();
    stopThread();
}

void TRecordOpenJob::Start()
{
    if (EmptyFirst_)
        Table_->Empty();
    Rows_ = std::make_unique<TRecordTable>();
    startThread([this] { Outcome_ = ReadRecordFile(FileName_, Form_, *Rows_, &Progress_); });
}

void TRecordOpenJob::poll()
{
    if (!ThreadDone())
        return;
    stopThread();
    if (Table_)
        AppendOpenedRows(*Table_, *Rows_, Outcome_);
    Rows_.reset();
    finish();
}
