#include "treaderhandoff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScopeGuard>

bool TReaderHandOff::TReader::WaitWhilePaused()
{
    std::unique_lock lock(Mutex);
    Wake.wait(lock, [this] { return Stop || !Paused; });
    return !Stop;
}

bool TReaderHandOff::TReader::HandOff(QByteArray block)
{
    std::unique_lock lock(Mutex);
    if (Stop)
        return false;
    Pending = std::move(block);
    // A bare event that carries nothing: whatever passes to the owner's thread goes under the
    // mutex, where the thread checker can see it.
    QCoreApplication::postEvent(Link, new QEvent(QEvent::User));
    Wake.wait(lock, [this] { return Stop || !Pending; });
    return !Stop;
}

bool TReaderHandOff::TReader::Sleep(std::chrono::milliseconds time)
{
    std::unique_lock lock(Mutex);
    return !Wake.wait_for(lock, time, [this] { return Stop; });
}

bool TReaderHandOff::TReader::Stopping()
{
    std::lock_guard lock(Mutex);
    return Stop;
}

TReaderHandOff::TReaderHandOff(QObject *owner, TDeliver deliver)
    : QObject(owner)
    , Deliver_(std::move(deliver))
{}

TReaderHandOff::~TReaderHandOff()
{
    Stop();
}

void TReaderHandOff::Start(TBody body, std::function<void()> wake, bool paused)
{
    Stop();
    auto reader = std::shared_ptr<TReader>(new TReader(this, paused));
    Thread_ = std::thread([reader, body = std::move(body)] { body(*reader); });
    Reader_ = std::move(reader);
    WakeBody_ = std::move(wake);
}

void TReaderHandOff::Stop()
{
    if (!Thread_.joinable())
        return;
    {
        std::lock_guard lock(Reader_->Mutex);
        Reader_->Stop = true;
    }
    Reader_->Wake.notify_all();
    if (WakeBody_)
        WakeBody_();
    // The reader waits for nothing of ours once told to stop, so the join cannot deadlock, and
    // a block it handed over before stopping is delivered here, in order, before it is dropped.
    Thread_.join();
    DeliverPending();
    Reader_.reset();
    WakeBody_ = {};
}

void TReaderHandOff::SetPaused(bool paused)
{
    if (!Reader_)
        return;
    {
        std::lock_guard lock(Reader_->Mutex);
        Reader_->Paused = paused;
    }
    Reader_->Wake.notify_all();
}

void TReaderHandOff::customEvent(QEvent *)
{
    // The only events this object gets are the reader's.
    DeliverPending();
}

void TReaderHandOff::DeliverPending()
{
    // Held by value: a delivery may stop this reader and start the next one.
    const std::shared_ptr<TReader> reader = Reader_;
    if (!reader)
        return;
    QByteArray block;
    {
        std::lock_guard lock(reader->Mutex);
        // A delivery that runs a nested event loop must not hand out its own block twice.
        if (!reader->Pending || reader->Delivering)
            return;
        block = *reader->Pending;
        reader->Delivering = true;
    }
    // However the delivery ends, even by an error thrown through it, the reader goes on.
    const auto done = qScopeGuard([&reader] {
        {
            std::lock_guard lock(reader->Mutex);
            reader->Pending.reset();
            reader->Delivering = false;
        }
        reader->Wake.notify_all();
    });
    Deliver_(block);
}
