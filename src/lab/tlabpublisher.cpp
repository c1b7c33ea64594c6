#include "tlabpublisher.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// Enough to keep the link busy without letting a broker that stalls hold much of the queue.
constexpr std::size_t MaxInflight = 64;

QByteArray publisherClientId(const QString &serial)
{
    return QStringLiteral("lumetra-%1-%2")
        .arg(serial)
        .arg(QCoreApplication::applicationPid())
        .toUtf8()
        .left(64);
}

} // namespace

TLabPublisher::TLabPublisher(const TLabUrl &url, const QString &serial, QObject *parent)
    : TLabClient(url, publisherClientId(serial), true, parent)
    , Serial_(serial)
    , ReadingTopic_(Topic("reading").toUtf8())
{
    const QString sep = QLocale::system().decimalPoint();
    DecimalSep_ = sep.isEmpty() ? QStringLiteral(".") : sep;
}

TLabPublisher::~TLabPublisher() = default;

QString TLabPublisher::Topic(const char *leaf) const
{
    return QStringLiteral("%1/%2/%3").arg(Url().Path, Serial_, QLatin1String(leaf));
}

QString TLabPublisher::QueuedText() const
{
    return QStringLiteral("The lab broker %1 cannot be reached: readings are queued and will be "
                          "published when it is back.")
        .arg(Url().Display());
}

QString TLabPublisher::FlowingText() const
{
    return QStringLiteral("The lab broker %1 is reached again: readings are published.")
        .arg(Url().Display());
}

bool TLabPublisher::Start(const QString &caFile)
{
    return startClient(caFile, {Topic("status").toUtf8(), QByteArrayLiteral("offline")});
}

void TLabPublisher::Publish(const TLabReading &reading)
{
    if (Finished_)
        return;
    if (qsizetype(Queue_.size()) >= QueueLimit_) {
        // The oldest go first: the rows are safe in the record file, and a dashboard wants
        // the latest.
        Queue_.pop_front();
        ++Dropped_;
        if (!DropNoticeGiven_) {
            DropNoticeGiven_ = true;
            emit Notice(QStringLiteral("The lab broker %1 has been away for %2 readings: the "
                                       "oldest are no longer queued for it (the record file "
                                       "holds them).")
                            .arg(Url().Display())
                            .arg(QueueLimit_));
        }
    }
    Queue_.push_back(LabReadingJson(reading, DecimalSep_));
    if (!IsConnected() && !QueuedNoticeGiven_) {
        QueuedNoticeGiven_ = true;
        emit Notice(QueuedText());
    }
    pump();
}

void TLabPublisher::PublishDisplay(const QByteArray &json)
{
    if (IsConnected())
        publish(Topic("display").toUtf8(), json, 0, false);
}

void TLabPublisher::SetMeterOnline(bool online)
{
    if (online == MeterOnline_)
        return;
    MeterOnline_ = online;
    if (IsConnected())
        publishStatus();
}

void TLabPublisher::publishStatus()
{
    StatusMid_ = publish(Topic("status").toUtf8(),
                         MeterOnline_ && !Finishing_ ? QByteArrayLiteral("online")
                                                     : QByteArrayLiteral("offline"),
                         1, true);
}

void TLabPublisher::pump()
{
    while (IsConnected() && !Queue_.empty() && Inflight_.size() < MaxInflight) {
        const int mid = publish(ReadingTopic_, Queue_.front(), 1, false);
        if (mid < 0)
            return; // the link is going down: the disconnect brings it back here
        Inflight_.emplace(mid, std::move(Queue_.front()));
        Queue_.pop_front();
    }
}

void TLabPublisher::requeueInflight()
{
    // Ahead of the queue, in the order they were first sent.
    for (auto it = Inflight_.rbegin(); it != Inflight_.rend(); ++it)
        Queue_.push_front(std::move(it->second));
    Inflight_.clear();
}

void TLabPublisher::onConnected()
{
    // What the last link had not confirmed goes again; QoS 1 allows the copy.
    requeueInflight();
    publishStatus();
    if (QueuedNoticeGiven_) {
        QueuedNoticeGiven_ = false;
        emit Notice(FlowingText());
    }
    pump();
}

void TLabPublisher::onDisconnected()
{
    requeueInflight();
    StatusMid_ = -1;
    if (!Queue_.empty() && !QueuedNoticeGiven_) {
        QueuedNoticeGiven_ = true;
        emit Notice(QueuedText());
    }
    if (Finishing_)
        checkFinished();
}

void TLabPublisher::onPublished(int mid)
{
    if (mid == StatusMid_) {
        StatusMid_ = -1;
    } else if (Inflight_.erase(mid) != 0) {
        ++Acknowledged_;
        pump();
    }
    if (Finishing_)
        checkFinished();
}

void TLabPublisher::Finish()
{
    if (Finishing_)
        return;
    Finishing_ = true;
    if (IsConnected())
        publishStatus();
    checkFinished();
}

void TLabPublisher::checkFinished()
{
    if (Finished_)
        return;
    if (IsConnected() && (!Queue_.empty() || !Inflight_.empty() || StatusMid_ >= 0))
        return;
    Finished_ = true;
    stopClient();
    emit Finished();
}
