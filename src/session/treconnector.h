#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QTimer;
class TMeterSession;

// Carries a run through outages, for benches nobody watches: when the link breaks (a cable
// pulled, the bridge gone, the serial line hung up) or the meter falls silent, it says so once,
// waits for the meter to come back (the bridge arriving again, a retry every so often, data
// again on a silent link), opens the link again and says that too, with how long the meter was
// away. The session's table is untouched meanwhile, so the records go on with the next number.
class TReconnector : public QObject
{
    Q_OBJECT
public:
    explicit TReconnector(TMeterSession &session, QObject *parent = nullptr);
    ~TReconnector() override;

    // Off (the default), a broken link ends as it always has: the session closes it and tells
    // why. Turned off during an outage, the meter is no longer waited for.
    void SetEnabled(bool on);
    bool Enabled() const { return Enabled_; }
    // Whether the meter is away now.
    bool Away() const { return Outage_ != TOutage::None; }
    // How often a link that is gone is tried again, besides whenever a bridge arrives.
    void SetRetryInterval(int ms);

    // "1.4 s", "2 min 05 s", "3 h 07 min".
    static QString OutageLength(qint64 ms);

signals:
    // Once when an outage begins, and once when it ends; text is what the user is told.
    void MeterAway(const QString &text);
    void MeterBack(const QString &text, qint64 awayMs);

private:
    enum class TOutage { None, Lost, Silent };
    void lost();
    void silent();
    void opened();
    void begin(TOutage kind, const QString &cause);
    void end();
    void attempt();
    void attemptSoon();

    TMeterSession &Session_;
    QTimer *Retry_;
    bool Enabled_ = false;
    bool ArmedWatchdog_ = false; // armed for the outage's sake, so disarmed when turned off
    TOutage Outage_ = TOutage::None;
    QString Name_; // the meter that went away
    QElapsedTimer Since_;
    qsizetype RowsBefore_ = 0;
    QList<QMetaObject::Connection> Links_;
    QMetaObject::Connection Data_; // a silent link's next block, while waited for
};
