#include "tlabclient.h"

#include <QFile>
#include <QMetaObject>

#include <mosquitto.h>
#include <mutex>

namespace {

constexpr int KeepAliveSeconds = 30;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString libraryError(int rc)
{
    return QString::fromLocal8Bit(mosquitto_strerror(rc));
}

} // namespace

TLabClient::TLabClient(const TLabUrl &url, const QByteArray &clientId, bool cleanSession,
                       QObject *parent)
    : QObject(parent)
    , Url_(url)
{
    initLibrary();
    // A child, so it follows the client to another thread.
    RetryTimer_.setParent(this);
    RetryTimer_.setSingleShot(true);
    connect(&RetryTimer_, &QTimer::timeout, this, &TLabClient::connectNow);
    Mosq_ = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), cleanSession, this);
    if (!Mosq_)
        return;
    mosquitto_connect_callback_set(Mosq_, &TLabClient::connectCallback);
    mosquitto_disconnect_callback_set(Mosq_, &TLabClient::disconnectCallback);
    mosquitto_publish_callback_set(Mosq_, &TLabClient::publishCallback);
    mosquitto_message_callback_set(Mosq_, &TLabClient::messageCallback);
}

TLabClient::~TLabClient()
{
    if (!Mosq_)
        return;
    stopClient();
    mosquitto_destroy(Mosq_);
}

bool TLabClient::startClient(const QString &caFile, const TWill &will)
{
    if (!Mosq_) {
        Error_ = QStringLiteral("the MQTT client library could not start a client");
        return false;
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (Url_.Tls) {
        if (!caFile.isEmpty() && !QFile::exists(caFile)) {
            Error_ = QStringLiteral("%1: no such file").arg(caFile);
            return false;
        }
        const QByteArray ca = QFile::encodeName(caFile);
        rc = caFile.isEmpty()
                 ? mosquitto_tls_set(Mosq_, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                 : mosquitto_tls_set(Mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Error_ = QStringLiteral("%1: %2").arg(
                caFile.isEmpty() ? QStringLiteral("/etc/ssl/certs") : caFile, libraryError(rc));
            return false;
        }
    }
    if (!Url_.User.isEmpty()) {
        const QByteArray user = Url_.User.toUtf8();
        const QByteArray password = Url_.Password.toUtf8();
        rc = mosquitto_username_pw_set(Mosq_, user.constData(),
                                       Url_.Password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && !will.Topic.isEmpty())
        rc = mosquitto_will_set(Mosq_, will.Topic.constData(), int(will.Payload.size()),
                                will.Payload.constData(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_reconnect_delay_set(Mosq_, 1, 30, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        Error_ = QStringLiteral("%1: %2").arg(Url_.Display(), libraryError(rc));
        return false;
    }
    rc = mosquitto_loop_start(Mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        Error_ = QStringLiteral("%1: %2").arg(Url_.Display(), libraryError(rc));
        return false;
    }
    Started_ = true;
    connectNow();
    return true;
}

void TLabClient::connectNow()
{
    if (!Started_)
        return;
    // Once a first attempt is under way, libmosquitto's thread reconnects by itself; one that
    // fails at once (the broker's port closed) it gives up, so those are retried from here,
    // with the same backoff. A broker that is not there yet is no error.
    const QByteArray host = Url_.Host.toUtf8();
    if (mosquitto_connect_async(Mosq_, host.constData(), Url_.Port, KeepAliveSeconds)
        == MOSQ_ERR_SUCCESS)
        return;
    RetryDelayMs_ = std::min(RetryDelayMs_ * 2, 30000);
    RetryTimer_.start(RetryDelayMs_);
}

void TLabClient::stopClient()
{
    if (!Started_)
        return;
    Started_ = false;
    RetryTimer_.stop();
    mosquitto_disconnect(Mosq_);
    mosquitto_loop_stop(Mosq_, false);
    Connected_ = false;
}

int TLabClient::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain)
{
    int mid = 0;
    const int rc = mosquitto_publish(Mosq_, &mid, topic.constData(), int(payload.size()),
                                     payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

// The callbacks run on libmosquitto's thread: they only hand over.
void TLabClient::connectCallback(mosquitto *, void *self, int rc)
{
    auto *c = static_cast<TLabClient *>(self);
    QMetaObject::invokeMethod(
        c,
        [c, rc] {
            if (rc != 0) {
                // Said once per reason, not on every retry.
                if (rc != c->LastRefusal_)
                    emit c->Refused(QStringLiteral("The lab broker %1 refused the connection: %2")
                                        .arg(c->Url_.Display(),
                                             QString::fromLocal8Bit(mosquitto_connack_string(rc))));
                c->LastRefusal_ = rc;
                return;
            }
            c->LastRefusal_ = 0;
            c->Connected_ = true;
            c->onConnected();
        },
        Qt::QueuedConnection);
}

void TLabClient::disconnectCallback(mosquitto *, void *self, int)
{
    auto *c = static_cast<TLabClient *>(self);
    QMetaObject::invokeMethod(
        c,
        [c] {
            if (!c->Connected_)
                return;
            c->Connected_ = false;
            c->onDisconnected();
        },
        Qt::QueuedConnection);
}

void TLabClient::publishCallback(mosquitto *, void *self, int mid)
{
    auto *c = static_cast<TLabClient *>(self);
    QMetaObject::invokeMethod(
        c, [c, mid] { c->onPublished(mid); }, Qt::QueuedConnection);
}

void TLabClient::messageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *c = static_cast<TLabClient *>(self);
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    QMetaObject::invokeMethod(
        c, [c, topic, payload] { c->onMessage(topic, payload); }, Qt::QueuedConnection);
}
