#include "tlabsubscriber.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include <mosquitto.h>

namespace {

constexpr qsizetype SeenPerMeter = 4096;

} // namespace

QByteArray TLabSubscriber::StableClientId(const TLabUrl &url)
{
    const QByteArray where = QStringLiteral("%1\n%2\n%3\n%4\n%5")
                                 .arg(QSysInfo::machineUniqueId(), url.Host)
                                 .arg(url.Port)
                                 .arg(url.User, url.Path)
                                 .toUtf8();
    return "lumetra-record-"
           + QCryptographicHash::hash(where, QCryptographicHash::Sha1).toHex().left(16);
}

TLabSubscriber::TLabSubscriber(const TLabUrl &url, const QByteArray &clientId, QObject *parent)
    : TLabClient(url, clientId.isEmpty() ? StableClientId(url) : clientId, false, parent)
{}

bool TLabSubscriber::Start(const QString &caFile)
{
    return startClient(caFile);
}

void TLabSubscriber::onConnected()
{
    // The broker keeps the subscription in our session; asking again costs nothing and covers
    // a broker that lost its store.
    const QByteArray filter = Url().Path.toUtf8();
    mosquitto_subscribe(handle(), nullptr, filter.constData(), 1);
}

void TLabSubscriber::onMessage(const QByteArray &topic, const QByteArray &payload)
{
    if (!topic.endsWith("/reading"))
        return; // status and display topics under the same filter
    QString error;
    const std::optional<TLabReading> reading = ParseLabReading(payload, &error);
    if (!reading) {
        if (!BadNoticeGiven_) {
            BadNoticeGiven_ = true;
            emit Notice(QStringLiteral("%1: not a reading (%2); such messages are skipped.")
                            .arg(QString::fromUtf8(topic), error));
        }
        return;
    }
    TSeen &seen = Seen_[reading->Serial];
    const QPair<qint32, qint64> key(reading->Number, reading->Time.toMSecsSinceEpoch());
    if (seen.Keys.contains(key)) {
        ++Duplicates_;
        return;
    }
    seen.Keys.insert(key);
    seen.Order.push_back(key);
    if (qsizetype(seen.Order.size()) > SeenPerMeter) {
        seen.Keys.remove(seen.Order.front());
        seen.Order.pop_front();
    }
    emit ReadingArrived(*reading);
}
