#pragma once

#include "tlaburl.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

struct mosquitto;

// One connection to the lab broker through libmosquitto, whose own thread does every socket
// operation, connects, and reconnects with a backoff of up to 30 s. What that thread learns is
// handed to this object's thread as queued calls, so the owner never waits on the network.
class TLabClient : public QObject
{
    Q_OBJECT
public:
    ~TLabClient() override;

    const TLabUrl &Url() const { return Url_; }
    bool IsConnected() const { return Connected_; }
    const QString &Error() const { return Error_; }

signals:
    // A notice for the user, once per change of state.
    void Notice(const QString &text);
    // The broker refused us (user name, password, client id): the text says why. Connecting
    // goes on, as the broker may be set right meanwhile.
    void Refused(const QString &text);

protected:
    struct TWill
    {
        QByteArray Topic, Payload;
    };
    TLabClient(const TLabUrl &url, const QByteArray &clientId, bool cleanSession, QObject *parent);

    // Sets TLS (caFile, or the system's certificates), credentials and the will, and starts
    // connecting. False, with Error, when libmosquitto refuses one of them.
    bool startClient(const QString &caFile, const TWill &will = {});
    // Sends a DISCONNECT: the will is not published and the thread ends.
    void stopClient();
    // The message id, or -1 when libmosquitto refused to take it.
    int publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain);
    mosquitto *handle() const { return Mosq_; }

    virtual void onConnected() {}
    virtual void onDisconnected() {}
    virtual void onPublished(int /*mid*/) {}
    virtual void onMessage(const QByteArray & /*topic*/, const QByteArray & /*payload*/) {}

    QString Error_;

private:
    void connectNow();
    static void connectCallback(mosquitto *, void *self, int rc);
    static void disconnectCallback(mosquitto *, void *self, int rc);
    static void publishCallback(mosquitto *, void *self, int mid);
    static void messageCallback(mosquitto *, void *self, const struct mosquitto_message *message);

    TLabUrl Url_;
    mosquitto *Mosq_ = nullptr;
    bool Connected_ = false;
    bool Started_ = false;
    int LastRefusal_ = 0;
    QTimer RetryTimer_;
    int RetryDelayMs_ = 500;
};
