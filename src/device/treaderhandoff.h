#pragma once

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// A device component's reader thread and its hand-off to the thread that owns the component.
// The reader hands over one block at a time and waits until the owner's thread has handled it,
// so blocks can neither overtake each other nor be lost. Stopping never waits on the owner's
// thread: once told to stop the reader gives up any wait at once, and a block it had already
// handed over is delivered by Stop itself, before the component lets its device go.
class TReaderHandOff : public QObject
{
public:
    // The calls open to the reader thread's body. Each wait returns false once the reader is
    // to stop; the body then returns.
    class TReader
    {
    public:
        // Holds the reader while it is paused.
        bool WaitWhilePaused();
        // Hands a block to the owner's thread and waits until it has been delivered.
        bool HandOff(QByteArray block = {});
        bool Sleep(std::chrono::milliseconds time);
        bool Stopping();

    private:
        friend class TReaderHandOff;
        explicit TReader(TReaderHandOff *link, bool paused)
            : Link(link)
            , Paused(paused)
        {}

        TReaderHandOff *const Link;
        std::mutex Mutex;
        std::condition_variable Wake;
        bool Stop = false;
        bool Paused;
        bool Delivering = false;
        std::optional<QByteArray> Pending;
    };

    using TBody = std::function<void(TReader &)>;
    using TDeliver = std::function<void(const QByteArray &)>;

    // deliver runs on owner's thread, once per block handed over, from an event to this child
    // of owner. A member of owner, so that it ends before owner does.
    TReaderHandOff(QObject *owner, TDeliver deliver);
    ~TReaderHandOff() override;
    TReaderHandOff(const TReaderHandOff &) = delete;
    TReaderHandOff &operator=(const TReaderHandOff &) = delete;

    // Starts body on a new thread. wake, when given, is called by Stop to interrupt a wait of
    // the body's own (a poll, say) that the hand-off cannot see. Throws std::system_error when
    // no thread can be made.
    void Start(TBody body, std::function<void()> wake = {}, bool paused = false);
    // Ends the reader and delivers a block that was caught in the hand-off. Safe to call from
    // inside a delivery and when no reader runs.
    void Stop();
    bool Running() const { return Thread_.joinable(); }
    void SetPaused(bool paused);

protected:
    void customEvent(QEvent *event) override;

private:
    void DeliverPending();

    TDeliver Deliver_;
    std::shared_ptr<TReader> Reader_;
    std::function<void()> WakeBody_;
    std::thread Thread_;
};
