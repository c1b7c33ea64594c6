#pragma once

#include "tlaburl.h"

#include "tlabreading.h"

#include <QObject>
#include <QString>

#include <mutex>
#include <vector>

class QThread;
class TLabPublisher;
class TMeterSession;

// Puts a meter session on the lab bus: every reading it records is published, its link to the
// meter is the status topic, and with the display on every decoded frame goes out as a live
// view. It only listens to the session, so the recording never waits on the broker: the
// session's thread takes a row's texts and hands them over; the JSON, the client library and
// the broker's acknowledgements are the business of a thread of the publisher's own.
class TSessionPublisher : public QObject
{
    Q_OBJECT
public:
    TSessionPublisher(TMeterSession &session, const TLabUrl &url, const QString &serial,
                      bool display, QObject *parent = nullptr);
    ~TSessionPublisher() override;

    // False, with error, when the client cannot be set up (a broker that is away is none).
    bool Start(const QString &caFile, QString *error);
    // Sends what is queued and says "offline"; Finished follows.
    void Finish();
    // Lives on the publisher's thread: reach it there (a queued or blocking invocation).
    TLabPublisher &Publisher() const { return *Publisher_; }

signals:
    // Readings are queued while the broker is away, or flow again; a refused login.
    void Notice(const QString &text);
    void Finished();

private:
    void recorded(qsizetype row);
    void frameShown();
    // On the publisher's thread: what the session handed over, in order.
    void drain();

    static constexpr int LingerMs = 10;

    TMeterSession &Session_;
    QThread *Thread_;
    TLabPublisher *Publisher_;
    // Readings handed over and not yet taken by the publisher's thread; one wake-up is posted
    // for as many as arrive before it runs.
    std::mutex InboxLock_;
    std::vector<TLabReading> Inbox_;
    bool DrainPosted_ = false;
    QString Serial_;
};
