#include "treconnector.h"

#include "tbridgesource.h"
#include "tcp2110.h"
#include "tmetersession.h"
#include "tmetersource.h"
#include "trecordtable.h"

#include <QLocale>
#include <QTime>
#include <QTimer>
#include <algorithm>

namespace {

QString clockTime()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

TReconnector::TReconnector(TMeterSession &session, QObject *parent)
    : QObject(parent)
    , Session_(session)
    , Retry_(new QTimer(this))
{
    Retry_->setInterval(1000);
    connect(Retry_, &QTimer::timeout, this, &TReconnector::attempt);
}

TReconnector::~TReconnector() = default;

void TReconnector::SetRetryInterval(int ms)
{
    Retry_->setInterval(ms);
}

QString TReconnector::OutageLength(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s < 60)
        return QLocale().toString(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60, 2, 10, QLatin1Char('0'));
}

void TReconnector::SetEnabled(bool on)
{
    if (on == Enabled_)
        return;
    Enabled_ = on;
    Session_.SetLinkKept(on);
    if (!on) {
        for (const auto &link : std::as_const(Links_))
            disconnect(link);
        Links_.clear();
        disconnect(Data_);
        Retry_->stop();
        Outage_ = TOutage::None;
        if (ArmedWatchdog_)
            Session_.SetWatchdog(false);
        ArmedWatchdog_ = false;
        return;
    }
    Links_ << connect(&Session_, &TMeterSession::LinkLost, this, &TReconnector::lost)
           << connect(&Session_, &TMeterSession::LinkSilent, this, &TReconnector::silent)
           << connect(&Session_, &TMeterSession::LinkOpened, this, &TReconnector::opened);
    TMeterSource *source = Session_.Source();
    if (!source || !source->CanReconnect())
        return;
    if (auto *bridge = qobject_cast<TBridgeSource *>(source)) {
        // The bridge back in its socket is the moment to try, not the next retry.
        Links_ << connect(bridge->Bridge(), &TCP2110::OnArrival, this, &TReconnector::attemptSoon);
    }
    // A meter switched off while its cable stays in is an outage too: only a bridge's blocks
    // tell the watchdog that the meter is alive.
    if (source->Path() == TBlockPath::Bridge && !Session_.WatchdogArmed()) {
        Session_.SetWatchdog(true);
        ArmedWatchdog_ = true;
    }
}

void TReconnector::lost()
{
    TMeterSource *source = Session_.Source();
    if (!source || !source->CanReconnect())
        return;
    disconnect(Data_);
    if (Outage_ == TOutage::None)
        begin(TOutage::Lost, source->Path() == TBlockPath::Serial
                                 ? QStringLiteral("the serial line hung up or the port went away")
                                 : QStringLiteral("the cable was pulled or the bridge went away"));
    // A silent meter whose cable is then pulled is still the one outage.
    Outage_ = TOutage::Lost;
    Retry_->start();
    attemptSoon();
}

void TReconnector::silent()
{
    TMeterSource *source = Session_.Source();
    if (Outage_ != TOutage::None || !source)
        return;
    begin(TOutage::Silent, QStringLiteral("no data for %1: the meter is switched off or asleep")
                               .arg(OutageLength(Session_.Watchdog()->interval())));
    // Taken by the session first, then the meter is back.
    Data_ = connect(source, &TMeterSource::BlockReceived, this, [this] {
        disconnect(Data_);
        if (Outage_ == TOutage::Silent)
            end();
    });
}

void TReconnector::opened()
{
    if (Outage_ == TOutage::None)
        return;
    if (Outage_ == TOutage::Lost)
        Session_.DropBrokenFrame();
    end();
}

void TReconnector::begin(TOutage kind, const QString &cause)
{
    Outage_ = kind;
    Since_.start();
    Name_ = Session_.Source()->Name();
    RowsBefore_ = Session_.Table().RecordCount();
    emit MeterAway(QStringLiteral("%1: meter away at %2 (%3); waiting for it to come back.")
                       .arg(Name_, clockTime(), cause));
}

void TReconnector::end()
{
    const qint64 ms = Since_.elapsed();
    // A silent meter's first block has been taken before it is told back; a cleared table
    // starts again from one.
    const qsizetype next = Outage_ == TOutage::Silent
                               ? std::min(RowsBefore_, Session_.Table().RecordCount()) + 1
                               : Session_.Table().RecordCount() + 1;
    Outage_ = TOutage::None;
    Retry_->stop();
    emit MeterBack(QStringLiteral("%1: meter back at %2 after %3 away; the records go on from "
                                  "number %4.")
                       .arg(Name_, clockTime(), OutageLength(ms))
                       .arg(next),
                   ms);
}

void TReconnector::attemptSoon()
{
    // Never inside the bridge's own event: its removal and arrival may come in one batch.
    QMetaObject::invokeMethod(this, &TReconnector::attempt, Qt::QueuedConnection);
}

void TReconnector::attempt()
{
    TMeterSource *source = Session_.Source();
    if (Outage_ != TOutage::Lost || !source)
        return;
    // A hung-up serial port stays open, silent, until it is closed.
    if (source->IsOpen())
        source->Close();
    if (auto *bridge = qobject_cast<TBridgeSource *>(source))
        bridge->ChooseAgain(Name_);
    // Tried quietly: the meter is not back yet, which was told already.
    TNotice failure;
    source->Open(failure);
}
