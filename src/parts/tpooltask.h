#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Qt's thread pool and its queued calls carry a functor to the other thread under Qt's own locks,
// which the thread sanitizer cannot see. So a functor is made and sent while this lock is held,
// and the first thing it does on the other side is take the lock: what was written into it
// before is then seen as written before.
inline std::mutex &PoolHandOffLock()
{
    static std::mutex lock;
    return lock;
}

// Runs work(input) on Qt's thread pool and hands the result to done on the application's thread,
// unless alive has expired by then (checked there, where its owner is destroyed). The input and
// the result pass through a box under a mutex of ours rather than through Qt's queues alone, so
// the hand-over is one the thread sanitizer can see: Qt's own locks are invisible to it.
template<typename In, typename Out>
void RunOnPool(In input, std::function<Out(const In &)> work, std::weak_ptr<void> alive,
               std::function<void(Out)> done)
{
    struct TBox
    {
        // Whichever thread lets go of the box last frees it (Qt releases a queued call's slot
        // object on either side); taking the lock orders that after the other side's last use.
        ~TBox() { const std::lock_guard lock(Lock); }
        std::mutex Lock;
        std::optional<In> Input;
        std::optional<Out> Output;
    };
    auto box = std::make_shared<TBox>();
    {
        const std::lock_guard lock(box->Lock);
        box->Input.emplace(std::move(input));
    }
    std::unique_lock sending(PoolHandOffLock());
    QThreadPool::globalInstance()->start(
        [box, work = std::move(work), alive = std::move(alive), done = std::move(done)] {
            PoolHandOffLock().lock();
            PoolHandOffLock().unlock();
            std::optional<In> in;
            {
                const std::lock_guard lock(box->Lock);
                in.swap(box->Input);
            }
            Out out = work(*in);
            {
                const std::lock_guard lock(box->Lock);
                box->Output.emplace(std::move(out));
            }
            const std::lock_guard sendingBack(PoolHandOffLock());
            QMetaObject::invokeMethod(QCoreApplication::instance(), [box, alive, done] {
                PoolHandOffLock().lock();
                PoolHandOffLock().unlock();
                std::optional<Out> result;
                {
                    const std::lock_guard lock(box->Lock);
                    result.swap(box->Output);
                }
                if (!alive.expired() && result)
                    done(std::move(*result));
            });
        });
}
