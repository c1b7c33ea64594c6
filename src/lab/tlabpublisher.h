#pragma once

#include "tlabclient.h"
#include "tlabreading.h"

#include <deque>
#include <map>

// Publishes one meter's recorded readings to the lab broker: each to PREFIX/SERIAL/reading
// with QoS 1, in the order recorded. While the broker is away they wait in a bounded queue and
// go out in order, with their own times, once it is back; a reading sent but not acknowledged
// when the link drops is sent again (the subscriber drops the copy). PREFIX/SERIAL/status is
// kept retained, "online" or "offline", and the broker sets "offline" itself if we die.
class TLabPublisher : public TLabClient
{
    Q_OBJECT
public:
    static constexpr qsizetype DefaultQueueLimit = 200000;

    TLabPublisher(const TLabUrl &url, const QString &serial, QObject *parent = nullptr);
    ~TLabPublisher() override;

    // Starts connecting (TLS with caFile when the URL asks for it). False, with Error, when the
    // client cannot be set up; a broker that is away is no failure.
    bool Start(const QString &caFile = {});

    void Publish(const TLabReading &reading);
    // A live view, QoS 0: sent while connected, never queued.
    void PublishDisplay(const QByteArray &json);
    // "online" while the program is connected to the meter.
    void SetMeterOnline(bool online);

    // Sends what is queued, says "offline" and disconnects; Finished follows (at once when the
    // broker is away: what is still queued is then in the record file only).
    void Finish();

    void SetQueueLimit(qsizetype limit) { QueueLimit_ = limit; }
    // The separator the reading texts are recorded with (the system's, by default).
    void SetDecimalSep(const QString &sep) { DecimalSep_ = sep; }
    // Readings not yet acknowledged by the broker.
    qsizetype Pending() const { return qsizetype(Queue_.size() + Inflight_.size()); }
    qint64 Acknowledged() const { return Acknowledged_; }
    qint64 Dropped() const { return Dropped_; }
    QString Topic(const char *leaf) const;

    QString QueuedText() const;
    QString FlowingText() const;

signals:
    void Finished();

protected:
    void onConnected() override;
    void onDisconnected() override;
    void onPublished(int mid) override;

private:
    void pump();
    void publishStatus();
    void requeueInflight();
    void checkFinished();

    QString Serial_;
    QString DecimalSep_;
    QByteArray ReadingTopic_;
    std::deque<QByteArray> Queue_;
    std::map<int, QByteArray> Inflight_; // by message id; ids grow, so in publishing order
    int StatusMid_ = -1;
    qsizetype QueueLimit_ = DefaultQueueLimit;
    qint64 Acknowledged_ = 0;
    qint64 Dropped_ = 0;
    bool MeterOnline_ = false;
    bool QueuedNoticeGiven_ = false;
    bool DropNoticeGiven_ = false;
    bool Finishing_ = false;
    bool Finished_ = false;
};
