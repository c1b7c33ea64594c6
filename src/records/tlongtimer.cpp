#include "tlongtimer.h"

#include <QTimer>
#include <algorithm>

TLongTimer::TLongTimer(QTimer *timer, qint64 maxPeriod)
    : QObject(timer)
    , Timer_(timer)
    , MaxPeriod_(std::clamp<qint64>(maxPeriod, 1, MaxPeriod))
    , Interval_(timer->interval())
{
    // A coarse QTimer may fire 5% early, or round a long interval to whole seconds; a
    // sampling interval is a promise to the user, and one timer costs nothing to keep precise.
    Timer_->setTimerType(Qt::PreciseTimer);
    Clock_.start();
    connect(Timer_, &QTimer::timeout, this, &TLongTimer::period);
}

bool TLongTimer::IsActive() const
{
    return Timer_->isActive();
}

void TLongTimer::SetInterval(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);
    if (ms == Interval_)
        return;
    Interval_ = ms;
    if (Timer_->isActive())
        startFromNow();
    else
        Timer_->setInterval(int(std::min(Interval_, MaxPeriod_)));
}

void TLongTimer::SetEnabled(bool enabled)
{
    if (enabled == Timer_->isActive())
        return;
    if (enabled)
        startFromNow();
    else
        Timer_->stop();
}

qint64 TLongTimer::RemainingTime() const
{
    if (!Timer_->isActive())
        return -1;
    if (!chained())
        return Timer_->remainingTime();
    return std::max<qint64>(0, Deadline_ - Clock_.elapsed());
}

void TLongTimer::startFromNow()
{
    if (!chained()) {
        Timer_->start(int(Interval_));
        return;
    }
    Deadline_ = Clock_.elapsed() + Interval_;
    Timer_->start(int(MaxPeriod_));
}

void TLongTimer::period()
{
    if (!chained()) {
        emit timeout();
        return;
    }
    const qint64 now = Clock_.elapsed();
    if (now < Deadline_) {
        Timer_->start(int(std::min(Deadline_ - now, MaxPeriod_)));
        return;
    }
    // The next deadline follows this one, not the moment the handler ran, so lateness does not
    // add up; after a long stall the count starts afresh.
    Deadline_ += Interval_;
    if (Deadline_ <= now)
        Deadline_ = now + Interval_;
    Timer_->start(int(std::min(Deadline_ - now, MaxPeriod_)));
    emit timeout();
}
