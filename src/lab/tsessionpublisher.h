#pragma once

#include "tlaburl.h"

#include <QObject>
#include <QString>

class TLabPublisher;
class TMeterSession;

// Puts a meter session on the lab bus: every reading it records is published, its link to the
// meter is the status topic, and with the display on every decoded frame goes out as a live
// view. It only listens to the session, so the recording never waits on the broker.
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
    TLabPublisher &Publisher() const { return *Publisher_; }

signals:
    // Readings are queued while the broker is away, or flow again; a refused login.
    void Notice(const QString &text);
    void Finished();

private:
    void recorded(qsizetype row);
    void frameShown();

    TMeterSession &Session_;
    TLabPublisher *Publisher_;
    QString Serial_;
    QString TimeSep_;
};
