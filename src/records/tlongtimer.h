#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <limits>

class QTimer;

// Drives a QTimer for intervals of any length. A QTimer counts milliseconds in an int (about
// 24.8 days), while the sampling interval reaches 99,999,999 s; a longer interval runs as a
// chain of shorter periods, each aimed at one deadline on the monotonic clock, so the chain
// neither drifts nor fires early. Intervals a QTimer holds run on it unchanged.
class TLongTimer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxPeriod = std::numeric_limits<int>::max();

    // Owned by the timer it drives. maxPeriod is the longest period given to the QTimer.
    explicit TLongTimer(QTimer *timer, qint64 maxPeriod = MaxPeriod);

    qint64 Interval() const { return Interval_; }
    // A changed interval takes effect at once: a running timer counts it from now. Setting the
    // interval it already has leaves a running timer alone.
    void SetInterval(qint64 ms);
    // Starting a running timer or stopping a stopped one changes nothing.
    void SetEnabled(bool enabled);
    bool IsActive() const;
    // Milliseconds until the next timeout; -1 when stopped.
    qint64 RemainingTime() const;

signals:
    void timeout();

private:
    bool chained() const { return Interval_ > MaxPeriod_; }
    void startFromNow();
    void period();

    QTimer *Timer_;
    qint64 MaxPeriod_;
    qint64 Interval_;
    QElapsedTimer Clock_;
    qint64 Deadline_ = 0; // on Clock_, for a chained interval
};
