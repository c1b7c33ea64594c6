#include "tsessionpublisher.h"

#include "tlabpublisher.h"
#include "tlabreading.h"
#include "tmetersession.h"
#include "trecording.h"
#include "trecordtable.h"
#include "trecordtexts.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>

TSessionPublisher::TSessionPublisher(TMeterSession &session, const TLabUrl &url,
                                     const QString &serial, bool display, QObject *parent)
    : QObject(parent)
    , Session_(session)
    , Thread_(new QThread(this))
    , Publisher_(new TLabPublisher(url, serial))
    , Serial_(serial)
{
    Thread_->setObjectName(QStringLiteral("lab bus %1").arg(serial));
    Publisher_->SetDecimalSep(session.DecimalSep());
    connect(&session, &TMeterSession::ReadingRecorded, this,
            [this](qsizetype row, const TMeterState &) { recorded(row); });
    connect(&session, &TMeterSession::LinkOpened, Publisher_,
            [this] { Publisher_->SetMeterOnline(true); });
    connect(&session, &TMeterSession::LinkClosed, Publisher_,
            [this] { Publisher_->SetMeterOnline(false); });
    connect(&session, &TMeterSession::LinkLost, Publisher_,
            [this] { Publisher_->SetMeterOnline(false); });
    if (display)
        connect(&session, &TMeterSession::DisplayChanged, this,
                [this](const TMeterState &, TDisplayChanges changes) {
                    // One view a frame, whole: every frame redraws the main reading.
                    if (changes & TDisplayPart::MainStatus)
                        frameShown();
                });
    connect(Publisher_, &TLabClient::Notice, this, &TSessionPublisher::Notice);
    connect(Publisher_, &TLabClient::Refused, this, &TSessionPublisher::Notice);
    connect(Publisher_, &TLabPublisher::Finished, this, &TSessionPublisher::Finished);
}

TSessionPublisher::~TSessionPublisher()
{
    if (!Thread_->isRunning()) {
        delete Publisher_;
        return;
    }
    // The client ends on its own thread (its timer and the library's callbacks belong there),
    // after what was posted to it before; then the thread ends.
    QMetaObject::invokeMethod(Publisher_, [p = Publisher_, thread = Thread_] {
        delete p;
        thread->quit();
    });
    Thread_->wait();
}

bool TSessionPublisher::Start(const QString &caFile, QString *error)
{
    // Set up here, so a failure is told at once; from then on the client lives on its thread.
    if (!Publisher_->Start(caFile)) {
        if (error)
            *error = Publisher_->Error();
        return false;
    }
    Publisher_->moveToThread(Thread_);
    Thread_->start();
    return true;
}

void TSessionPublisher::Finish()
{
    QMetaObject::invokeMethod(Publisher_, [this] {
        drain();
        Publisher_->Finish();
    });
}

void TSessionPublisher::drain()
{
    std::vector<TLabReading> batch;
    {
        const std::lock_guard lock(InboxLock_);
        batch.swap(Inbox_);
        // While readings keep coming, this thread looks again shortly by itself, so the
        // session's thread posts one wake-up for a whole run of readings, not one a reading.
        if (batch.empty()) {
            DrainPosted_ = false;
            return;
        }
    }
    for (const TLabReading &r : batch)
        Publisher_->Publish(r);
    QTimer::singleShot(LingerMs, Publisher_, [this] { drain(); });
}

void TSessionPublisher::recorded(qsizetype row)
{
    // The moment the session stamped the row with, to the millisecond.
    TLabReading reading =
        LabReadingFromRow(Session_.Table(), row, Serial_, Session_.LastRecordTime());
    {
        const std::lock_guard lock(InboxLock_);
        Inbox_.push_back(std::move(reading));
        if (DrainPosted_)
            return;
        DrainPosted_ = true;
    }
    QMetaObject::invokeMethod(
        Publisher_, [this] { drain(); }, Qt::QueuedConnection);
}

void TSessionPublisher::frameShown()
{
    const TMeterState &s = Session_.State();
    // The display as the recorded row would show it, without waiting for a row.
    const QJsonObject view{
        {QStringLiteral("serial"), Serial_},
        {QStringLiteral("main"),
         QJsonObject{{QStringLiteral("mode"), RecordMainModeText(s.MainMode, s.Parallel)},
                     {QStringLiteral("text"), s.MainText.trimmed()},
                     {QStringLiteral("unit"), RecordUnitText(s.MainUnit)}}},
        {QStringLiteral("secondary"),
         QJsonObject{{QStringLiteral("mode"), RecordSubModeText(s.SubMode, s.MainMode, s.Parallel)},
                     {QStringLiteral("text"), s.SubText.trimmed()},
                     {QStringLiteral("unit"), RecordUnitText(s.SubUnit)}}},
    };
    QMetaObject::invokeMethod(
        Publisher_,
        [p = Publisher_, json = QJsonDocument(view).toJson(QJsonDocument::Compact)] {
            p->PublishDisplay(json);
        },
        Qt::QueuedConnection);
}
