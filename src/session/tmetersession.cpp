#include "tmetersession.h"

#include <QDateTime>

#include "formatreading.h"
#include "tchartcontrol.h"
#include "tlongtimer.h"
#include "tlumetra.h"
#include "tmetersource.h"
#include "trecordingstep.h"
#include "trecordtable.h"
#include "ttrendseries.h"

#include <QTimer>
#include <algorithm>

namespace {

const QString CableLost =
    QStringLiteral("USB interface cable is not connected properly, please check and re-try.");

QTimer *namedTimer(QObject *owner, const char *name, int interval)
{
    auto *t = new QTimer(owner);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    return t;
}

} // namespace

TMeterSession::TMeterSession(QObject *parent)
    : QObject(parent)
    , Decoder_(this)
    , Table_(new TRecordTable(this))
    , Step_(std::make_unique<TRecordingStep>(*Table_))
    , SamplingTimer_(namedTimer(this, "timerInterval", 1000))
    , Sampling_(new TLongTimer(SamplingTimer_))
    , Watchdog_(namedTimer(this, "timerDisconectedUSB", 10000))
{
    qRegisterMetaType<TNotice>();
    Table_->setObjectName(QStringLiteral("cds1"));
    Decoder_.SetDecimalSep(SystemDecimalSep());
    WallClock_.start();
    connect(Sampling_, &TLongTimer::timeout, this, &TMeterSession::SamplingTick);
    connect(Watchdog_, &QTimer::timeout, this, &TMeterSession::watchdogTimeout);
}

TMeterSession::~TMeterSession()
{
    // The source's reader must not hand a block to a session half gone.
    if (Source_)
        Source_->disconnect(this);
}

void TMeterSession::SetSource(TMeterSource *source)
{
    if (Source_) {
        Source_->disconnect(this);
        Source_->Close();
        if (Source_->parent() == this)
            Source_->deleteLater();
    }
    Source_ = source;
    if (!source)
        return;
    if (!source->parent())
        source->setParent(this);
    connect(source, &TMeterSource::BlockReceived, this,
            [this, source](const std::uint8_t *data, std::uint32_t len) {
                followSourceClock();
                Receive(data, len, source->Path());
            });
    connect(source, &TMeterSource::Opened, this, [this] {
        Paused_ = false;
        // A replay starts its clock anew: the first tick is one interval into it.
        if (SamplingOn_ && sourceClocked())
            NextTick_ = Source_->Clock() + Sampling_->Interval();
        if (WatchdogArmed_)
            Watchdog_->start();
        emit LinkOpened();
    });
    connect(source, &TMeterSource::Closed, this, [this] {
        Watchdog_->stop();
        emit LinkClosed();
    });
    connect(source, &TMeterSource::LinkLost, this, [this](const QString &reason) {
        Watchdog_->stop();
        emit LinkLost(reason);
        if (!keepsLink())
            raise({TNoticeKind::Information, reason});
    });
    connect(source, &TMeterSource::Ended, this, &TMeterSession::SourceEnded);
    applySampling();
}

bool TMeterSession::Open()
{
    if (!Source_)
        return false;
    TNotice failure;
    if (Source_->Open(failure))
        return true;
    raise(failure);
    return false;
}

void TMeterSession::Close()
{
    if (Source_)
        Source_->Close();
}

bool TMeterSession::IsOpen() const
{
    return Source_ && Source_->IsOpen();
}

void TMeterSession::SetPaused(bool paused)
{
    // The watchdog must not count a pause against the link; after one it has its full period.
    Paused_ = paused;
    Watchdog_->stop();
    if (Source_)
        Source_->SetPaused(paused);
    if (!paused && WatchdogArmed_ && IsOpen())
        Watchdog_->start();
}

void TMeterSession::SetWatchdog(bool armed)
{
    WatchdogArmed_ = armed;
    if (!armed)
        Watchdog_->stop();
    else if (IsOpen() && !Paused_)
        Watchdog_->start();
}

void TMeterSession::watchdogTimeout()
{
    Watchdog_->stop();
    // A meter switched off or asleep comes back on the same link.
    if (keepsLink()) {
        emit LinkSilent();
        return;
    }
    Close();
    emit LinkLost(CableLost);
    raise({TNoticeKind::Information, CableLost});
}

void TMeterSession::raise(const TNotice &notice)
{
    emit NoticeRaised(notice);
}

void TMeterSession::Receive(const std::uint8_t *data, std::uint32_t len, TBlockPath path)
{
    emit DisplayChanged(TDisplayPart::Activity, Decoder_.State());
    const bool bridged = path == TBlockPath::Bridge;
    // Every block proves the cable alive: the watchdog starts its full period anew.
    if (bridged && WatchdogArmed_)
        Watchdog_->start();
    if (Capture_ && !Capture_->Write(data, len)) {
        const QString why = CaptureName_ + QStringLiteral(": ") + Capture_->Error();
        Capture_.reset();
        raise({TNoticeKind::Information, why, true});
    }
    Decoder_.AppendReceived(data, len);
    if (!bridged || !Sampling())
        Decoder_.ExtractFrame();
}

bool TMeterSession::StartCapture(const QString &fileName)
{
    auto capture = std::make_unique<TCaptureWriter>();
    if (!capture->Open(fileName)) {
        raise({TNoticeKind::Information, fileName + QStringLiteral(": ") + capture->Error(), true});
        return false;
    }
    Capture_ = std::move(capture);
    CaptureName_ = fileName;
    return true;
}

bool TMeterSession::Repeat() const
{
    return Step_->Repeat();
}

void TMeterSession::SetRepeat(bool repeat)
{
    Step_->SetRepeat(repeat);
}

bool TMeterSession::Sampling() const
{
    if (PartRule_)
        return false;
    return sourceClocked() ? SamplingOn_ : Sampling_->IsActive();
}

void TMeterSession::SetPartRule(const std::optional<TSettleOptions> &options)
{
    if (options && !PartRule_)
        PartRecorded_ = Decoder_.State().LastRecordedText;
    else if (!options && PartRule_)
        Decoder_.State().LastRecordedText = PartRecorded_;
    if (options)
        PartRule_.emplace(*options);
    else
        PartRule_.reset();
    // The part rule takes every frame as it comes; sampling resumes as it was once it is off.
    applySampling();
}

qint64 TMeterSession::readingTime() const
{
    // A replay's own clock, so a fast replay settles on the same frames as a paced one.
    return sourceClocked() ? Source_->Clock() : WallClock_.elapsed();
}

void TMeterSession::SetSampling(bool on)
{
    if (on == SamplingOn_ && on == Sampling())
        return;
    SamplingOn_ = on;
    applySampling();
}

void TMeterSession::SetSamplingInterval(qint64 ms)
{
    Sampling_->SetInterval(ms);
    // As on the wall clock, a new interval counts from now.
    if (sourceClocked())
        NextTick_ = Source_->Clock() + Sampling_->Interval();
}

void TMeterSession::applySampling()
{
    // Exactly one clock drives the ticks: the wall timer, or the source's own.
    const bool clocked = sourceClocked();
    Sampling_->SetEnabled(SamplingOn_ && !clocked && !PartRule_);
    if (clocked)
        NextTick_ = Source_->Clock() + Sampling_->Interval();
}

void TMeterSession::followSourceClock()
{
    if (!SamplingOn_ || PartRule_ || !sourceClocked())
        return;
    // The tick falls before the block stamped at or after it, as it would on a paced replay.
    // After a gap of many intervals one tick is enough: the ones between would find no frame.
    const qint64 now = Source_->Clock();
    if (now < NextTick_)
        return;
    const qint64 interval = std::max<qint64>(1, Sampling_->Interval());
    NextTick_ += ((now - NextTick_) / interval + 1) * interval;
    SamplingTick();
}

void TMeterSession::SamplingTick()
{
    Decoder_.ExtractFrame();
}

void TMeterSession::SetChart(TChartEngine &engine, std::int32_t pageSize)
{
    Chart_ = std::make_unique<TChartControl>(engine, pageSize);
}

void TMeterSession::Clear()
{
    Table_->Empty();
    if (Chart_)
        Chart_->Clear();
    if (Trend_)
        Trend_->clear();
    emit Cleared();
}

// --- the decoder's refreshes ------------------------------------------------------------------

void TMeterSession::ShowHold(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Hold, s);
}
void TMeterSession::ShowRelative(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Relative, s);
}
void TMeterSession::ShowLcr(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Lcr, s);
}
void TMeterSession::ShowAuto(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Auto, s);
}
void TMeterSession::ShowBattery(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Battery, s);
}
void TMeterSession::ShowFrequency(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Frequency, s);
}
void TMeterSession::ShowSorting(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::Sorting, s);
}
void TMeterSession::ShowMainMode(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::MainMode, s);
}
void TMeterSession::ShowMainUnit(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::MainUnit, s);
}
void TMeterSession::ShowSubMode(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::SubMode, s);
}
void TMeterSession::ShowSubUnit(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::SubUnit, s);
}
void TMeterSession::ShowSubStatus(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::SubStatus, s);
}
void TMeterSession::SetBarMax(int)
{
    emit DisplayChanged(TDisplayPart::BarMax, Decoder_.State());
}

void TMeterSession::ShowMainStatus(const TMeterState &s)
{
    emit DisplayChanged(TDisplayPart::MainStatus, s);
    if (!Chart_)
        return;
    const double value = PlottedValue(s, Decoder_.DecimalSep());
    if (Trend_)
        Trend_->append(TrendReading(s, QDateTime::currentMSecsSinceEpoch()));
    emit PointAdded(value, Chart_->AddPoint(value));
}

void TMeterSession::SetAxisMin(double v)
{
    if (Chart_)
        Chart_->SetAxisMin(v);
}

void TMeterSession::SetAxisMax(double v)
{
    if (Chart_)
        Chart_->SetAxisMax(v);
}

bool TMeterSession::RecordEveryFrame() const
{
    // Under the part rule every frame goes to it; it alone says which one is recorded.
    return PartRule_ || Step_->Repeat();
}

void TMeterSession::RecordReading(TMeterState &s)
{
    if (!Recording_)
        return;
    if (PartRule_) {
        if (!PartRule_->Feed(SettleInput(s, Decoder_.DecimalSep(), readingTime()))) {
            s.LastRecordedText = PartRecorded_;
            return;
        }
    }
    // The Cp rule's whole number is what the display shows from now on, as it was recorded.
    const QString shown = s.MainText;
    LastRecordTime_ = QDateTime::currentDateTime();
    if (Step_->Record(s, shown, Decoder_.DecimalSep(), LastRecordTime_) != shown)
        emit DisplayChanged(TDisplayPart::MainText, s);
    PartRecorded_ = s.LastRecordedText;
    emit ReadingRecorded(Table_->RecordCount() - 1, s);
}
