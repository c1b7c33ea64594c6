#pragma once

#include "tlabclient.h"
#include "tlabreading.h"

#include <QHash>
#include <QSet>
#include <deque>

// Reads the readings every meter publishes under a topic filter, with QoS 1 and a session the
// broker keeps while we are away (a stable client id, clean session off), so a central
// recorder that restarts misses nothing. Copies that QoS 1 delivers twice are dropped.
class TLabSubscriber : public TLabClient
{
    Q_OBJECT
public:
    // clientId: empty gives one made from this machine and the broker's address and filter,
    // the same at every start.
    explicit TLabSubscriber(const TLabUrl &url, const QByteArray &clientId = {},
                            QObject *parent = nullptr);

    bool Start(const QString &caFile = {});
    static QByteArray StableClientId(const TLabUrl &url);

    qint64 Duplicates() const { return Duplicates_; }

signals:
    // A reading not seen before, in the order the broker delivered it.
    void ReadingArrived(const TLabReading &reading);

protected:
    void onConnected() override;
    void onMessage(const QByteArray &topic, const QByteArray &payload) override;

private:
    // The recent readings of one meter, by record number and time: a copy comes soon after
    // its first, and a meter that starts counting from 1 again is no copy.
    struct TSeen
    {
        QSet<QPair<qint32, qint64>> Keys;
        std::deque<QPair<qint32, qint64>> Order;
    };
    QHash<QString, TSeen> Seen_;
    qint64 Duplicates_ = 0;
    bool BadNoticeGiven_ = false;
};
