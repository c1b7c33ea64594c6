#include "tmetersession.h"

#include <QDateTime>

#include "formatreading.h"
#include "tchartcontrol.h"
#include "tlongtimer.h"
#include "tlumetra.h"
#include "tmetersource.h"
#include "trecording.h"
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
    , TimeSep_(SystemTimeSeparator())
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
        if (Mode().Samples() && sourceClocked())
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
    emit DisplayChanged(Decoder_.State(), TDisplayPart::Activity);
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

void TMeterSession::SetMode(const TRecordingMode &mode)
{
    const TRecordingMode was = Policy_.Mode();
    Policy_.SetMode(mode);
    if (mode.IntervalMs != was.IntervalMs) {
        Sampling_->SetInterval(mode.IntervalMs);
        // As on the wall clock, a new interval counts from now.
        if (sourceClocked())
            NextTick_ = Source_->Clock() + Sampling_->Interval();
    }
    if (mode.Samples() != was.Samples() || (mode.Samples() && !Sampling()))
        applySampling();
}

bool TMeterSession::Sampling() const
{
    // On the wall clock it is the timer that holds blocks back, as it runs.
    return sourceClocked() ? Mode().Samples() : Sampling_->IsActive();
}

qint64 TMeterSession::readingTime() const
{
    // A replay's own clock, so a fast replay settles on the same frames as a paced one.
    return sourceClocked() ? Source_->Clock() : WallClock_.elapsed();
}

void TMeterSession::applySampling()
{
    // Exactly one clock drives the ticks: the wall timer, or the source's own.
    const bool clocked = sourceClocked();
    Sampling_->SetEnabled(Mode().Samples() && !clocked);
    if (clocked)
        NextTick_ = Source_->Clock() + Sampling_->Interval();
}

void TMeterSession::followSourceClock()
{
    if (!Mode().Samples() || !sourceClocked())
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

// --- a decoded frame --------------------------------------------------------------------------

void TMeterSession::FrameDecoded(const TMeterState &s, TDisplayChanges changes)
{
    emit DisplayChanged(s, changes);
    plot(s);
    if (Recording_)
        record();
}

void TMeterSession::plot(const TMeterState &s)
{
    // Every decoded frame is a point, recorded or not.
    if (!Chart_)
        return;
    const double value = PlottedValue(s, Decoder_.DecimalSep());
    if (Trend_)
        Trend_->append(TrendReading(s, QDateTime::currentMSecsSinceEpoch()));
    const std::int32_t page = Chart_->AddPoint(value);
    const double scale = FullScale(s.MainDecimals);
    Chart_->SetAxisMin(-scale);
    Chart_->SetAxisMax(scale);
    emit PointAdded(value, page);
}

void TMeterSession::record()
{
    const std::optional<QString> text =
        Policy_.Take(Decoder_.State(), Decoder_.DecimalSep(), readingTime());
    if (!text)
        return;
    // The Cp rule's whole number is what the display shows from now on, as it was recorded.
    TMeterState &s = Decoder_.State();
    const bool rewritten = *text != s.MainText;
    if (rewritten)
        s.MainText = *text;
    LastRecordTime_ = QDateTime::currentDateTime();
    AppendRecord(*Table_, s, LastRecordTime_, TimeSep_);
    if (rewritten)
        emit DisplayChanged(s, TDisplayPart::MainText);
    emit ReadingRecorded(Table_->RecordCount() - 1, s);
}
