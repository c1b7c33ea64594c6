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

TSessionPublisher::TSessionPublisher(TMeterSession &session, const TLabUrl &url,
                                     const QString &serial, bool display, QObject *parent)
    : QObject(parent)
    , Session_(session)
    , Publisher_(new TLabPublisher(url, serial, this))
    , Serial_(serial)
    , TimeSep_(SystemTimeSeparator())
{
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
                [this](TDisplayPart part, const TMeterState &) {
                    // One view a frame: the main reading's refresh comes once for each.
                    if (part == TDisplayPart::MainStatus)
                        frameShown();
                });
    connect(Publisher_, &TLabClient::Notice, this, &TSessionPublisher::Notice);
    connect(Publisher_, &TLabClient::Refused, this, &TSessionPublisher::Notice);
    connect(Publisher_, &TLabPublisher::Finished, this, &TSessionPublisher::Finished);
}

TSessionPublisher::~TSessionPublisher() = default;

bool TSessionPublisher::Start(const QString &caFile, QString *error)
{
    if (Publisher_->Start(caFile))
        return true;
    if (error)
        *error = Publisher_->Error();
    return false;
}

void TSessionPublisher::Finish()
{
    Publisher_->Finish();
}

void TSessionPublisher::recorded(qsizetype row)
{
    // Now, to the millisecond; should the second have turned since the row was stamped, the
    // last moment of the row's second, so the published time never contradicts the row.
    QDateTime when = QDateTime::currentDateTime();
    if (RecordTimeText(when, TimeSep_) != Session_.Table().TextAt(row, TRecordTable::aTime))
        when = when.addMSecs(-(when.time().msec() + 1));
    Publisher_->Publish(LabReadingFromRow(Session_.Table(), row, Serial_, when));
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
         QJsonObject{{QStringLiteral("mode"),
                      RecordSubModeText(s.SubMode, s.MainMode, s.Parallel)},
                     {QStringLiteral("text"), s.SubText.trimmed()},
                     {QStringLiteral("unit"), RecordUnitText(s.SubUnit)}}},
    };
    Publisher_->PublishDisplay(QJsonDocument(view).toJson(QJsonDocument::Compact));
}
