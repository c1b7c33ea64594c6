#include "tlabrecorder.h"

#include "tlabreading.h"
#include "tlabsubscriber.h"
#include "tlaburl.h"
#include "trecorder.h"

TLabRecorder::TLabRecorder(const TRecorderOptions &options, QObject *parent)
    : QObject(parent)
    , Options_(options)
{}

TLabRecorder::~TLabRecorder() = default;

bool TLabRecorder::Start()
{
    QString why;
    const std::optional<TLabUrl> url = ParseLabUrl(Options_.FromMqtt, TLabUrlUse::Subscribe, &why);
    if (!url) {
        Error_ = QStringLiteral("--from-mqtt: %1").arg(why);
        return false;
    }
    Subscriber_ = new TLabSubscriber(*url, {}, this);
    connect(Subscriber_, &TLabSubscriber::ReadingArrived, this, &TLabRecorder::arrived);
    connect(Subscriber_, &TLabClient::Notice, this, &TLabRecorder::Notice);
    connect(Subscriber_, &TLabClient::Refused, this, &TLabRecorder::Notice);
    if (!Subscriber_->Start(Options_.MqttCa)) {
        Error_ = Subscriber_->Error();
        return false;
    }
    return true;
}

TRecorder *TLabRecorder::recorderFor(const QString &serial)
{
    if (const auto found = Meters_.find(serial); found != Meters_.end())
        return found->second.get();
    // A file name without %s is one meter's; a second meter publishing is then an error.
    if (!Meters_.empty()) {
        for (const QString *file : Options_.MeterFiles())
            if (!file->isEmpty() && !file->contains(QLatin1String("%s"))) {
                fail(QStringLiteral("%1 is one meter's file, but %2 and %3 both publish: put %s "
                                    "in its name.")
                         .arg(*file, Meters_.begin()->first, serial));
                return nullptr;
            }
    }
    auto recorder = std::make_unique<TRecorder>(Options_.ForMeter(serial, true), nullptr);
    if (!recorder->CheckFiles() || !recorder->Start()) {
        fail(recorder->Error());
        return nullptr;
    }
    TRecorder *r = recorder.get();
    connect(r, &TRecorder::Stopped, this, [this, r](bool failed) {
        if (failed)
            fail(r->Error());
        else if (++Done_ == Meters_.size() && !Stopped_) {
            Stopped_ = true;
            emit Stopped(false);
        }
    });
    Meters_.emplace(serial, std::move(recorder));
    return r;
}

void TLabRecorder::arrived(const TLabReading &reading)
{
    if (Stopped_)
        return;
    if (TRecorder *r = recorderFor(reading.Serial))
        r->AddReading(reading);
}

void TLabRecorder::fail(const QString &why)
{
    if (Stopped_)
        return;
    Stopped_ = true;
    Error_ = why;
    emit Stopped(true);
}

std::vector<TRecorder *> TLabRecorder::Recorders() const
{
    std::vector<TRecorder *> all;
    for (const auto &[serial, recorder] : Meters_)
        all.push_back(recorder.get());
    return all;
}
