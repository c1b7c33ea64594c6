#include "trecordfilejob.h"

#include "trecordtable.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace {

constexpr qsizetype PieceBytes = 1 << 20;
// Formatted bytes waiting for a slow disk stay below this; production pauses meanwhile.
constexpr qsizetype QueueLimit = 16 * PieceBytes;
// How long one slice of formatting may hold the caller's thread before it yields.
constexpr qint64 SliceMs = 10;

} // namespace

// --- TRecordFileJob --------------------------------------------------------------------------

TRecordFileJob::TRecordFileJob(TRecordTable &table, QObject *parent)
    : QObject(parent)
    , Table_(&table)
{}

TRecordFileJob::~TRecordFileJob() = default;

void TRecordFileJob::Cancel()
{
    Progress_.Cancel.store(true);
}

void TRecordFileJob::finish()
{
    Finished_ = true;
    emit Finished();
}

void TRecordFileJob::stopThread()
{
    if (!Thread_)
        return;
    Thread_->wait();
    delete Thread_;
    Thread_ = nullptr;
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
    Writer_ = std::make_unique<TRecordFileWriter>(*Table_, Target_.Form, Titles_);
    Thread_ = QThread::create([this] { writeAll(); });
    connect(Thread_, &QThread::finished, this, &TRecordSaveJob::done);
    Thread_->start();
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
                WaitingForRoom_ = true; // the writing thread calls resume() once it drained
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

void TRecordSaveJob::resume()
{
    if (!Slice_->isActive())
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
            const bool committed = sink.Commit();
            lock.lock();
            if (!committed)
                Error_ = sink.Error();
            return;
        }
        const QByteArray piece = std::move(Pieces_.front());
        Pieces_.pop_front();
        QueuedBytes_ -= piece.size();
        if (WaitingForRoom_ && QueuedBytes_ <= QueueLimit / 2) {
            WaitingForRoom_ = false;
            QMetaObject::invokeMethod(this, &TRecordSaveJob::resume, Qt::QueuedConnection);
        }
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
    {
        const std::lock_guard lock(Lock_);
        error = Error_;
    }
    const bool cancelled = error.isEmpty() && Progress_.Cancel.load();
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
    Thread_ = QThread::create([this] { Outcome_ = ReadRecordFile(FileName_, *Rows_, &Progress_); });
    connect(Thread_, &QThread::finished, this, &TRecordOpenJob::done);
    Thread_->start();
}

void TRecordOpenJob::done()
{
    stopThread();
    if (Table_)
        AppendOpenedRows(*Table_, *Rows_, Outcome_);
    Rows_.reset();
    finish();
}
