#pragma once

#include "tcapturefile.h"
#include "tframedecoder.h"
#include "tmeterhooks.h"
#include "tmeternotice.h"
#include "tmetersource.h"
#include "trecordingpolicy.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QTimer;
class TChartControl;
class TChartEngine;
class TLongTimer;
class TRecordTable;
class TTrendSeries;

// One meter's whole pipeline: its source, the receive buffer and decoder, the capture, the
// sampling timer, the recording step, the record table, the trend chart's points and paging.
// It never touches a widget; front ends and whatever records or publishes connect to its
// signals. See README.md for the order they come in.
class TMeterSession : public QObject, private TMeterHooks
{
    Q_OBJECT
public:
    explicit TMeterSession(QObject *parent = nullptr);
    ~TMeterSession() override;

    // --- the source -----------------------------------------------------------------------
    // Takes the source over (a source without a parent becomes the session's child); a source
    // set before is closed and dropped.
    void SetSource(TMeterSource *source);
    TMeterSource *Source() const { return Source_; }
    // Opens the source; false, after NoticeRaised, when it cannot.
    bool Open();
    void Close();
    bool IsOpen() const;
    // Holds reading (and the silence watchdog) while the front end cannot take data.
    void SetPaused(bool paused);
    // A block as the source delivered it; the sources call it, and so may tests and benchmarks.
    void Receive(const std::uint8_t *data, std::uint32_t len, TBlockPath path = TBlockPath::Bridge);

    // --- what is done with the readings ---------------------------------------------------
    // Which frames are recorded: every one, on change, one per sampling interval, or one
    // reading per part. Sampling runs on the wall clock, or on the source's own clock when it
    // has one (a replayed capture); a changed interval counts from now. One reading per part
    // takes every frame as it comes and records the one that settled, once per part.
    void SetMode(const TRecordingMode &mode);
    const TRecordingMode &Mode() const { return Policy_.Mode(); }
    const TRecordingPolicy &Policy() const { return Policy_; }
    // Off, frames are still decoded and shown but none is recorded: for a front end that has
    // all the rows it asked for while its session goes on, so that nothing it did not take is
    // stored or published. On by default.
    void SetRecording(bool on) { Recording_ = on; }
    bool Recording() const { return Recording_; }
    // Frames are being taken once per interval, not as they arrive.
    bool Sampling() const;
    // The sampling pass: the newest whole frame waiting, or none.
    void SamplingTick();
    // While armed, an open link that brings no block for the watchdog's interval (10 s) is
    // closed, with the notice that the cable is not connected properly.
    void SetWatchdog(bool armed);
    bool WatchdogArmed() const { return WatchdogArmed_; }
    // While kept, a link that breaks (of a source that can come back) is not the end of the
    // run: it is not told as a notice, and a silent one stays open (LinkSilent). Whoever keeps
    // it brings the meter back.
    void SetLinkKept(bool kept) { KeepLink_ = kept; }
    // The stream was cut (the link opened again after it broke): a frame it broke off is
    // dropped, so that its start and the end of another are never read as one.
    void DropBrokenFrame() { Decoder_.CutStream(); }
    QTimer *Watchdog() const { return Watchdog_; }
    QTimer *SamplingTimer() const { return SamplingTimer_; }

    // Every received block also goes to this file, as it arrived. False, after NoticeRaised,
    // when it cannot be written.
    bool StartCapture(const QString &fileName);
    // The chart the points are plotted on; without one no point is made.
    void SetChart(TChartEngine &engine, std::int32_t pageSize);
    TChartControl *Chart() const { return Chart_.get(); }
    // Where every reading the chart plots is also kept whole (values, units, status words,
    // time) for a closer look; emptied with the chart. Not owned.
    void SetTrend(TTrendSeries *trend) { Trend_ = trend; }
    // Empties the record table and the chart.
    void Clear();

    TRecordTable &Table() const { return *Table_; }
    const TMeterState &State() const { return Decoder_.State(); }
    const TFrameDecoder &Decoder() const { return Decoder_; }
    const QString &DecimalSep() const { return Decoder_.DecimalSep(); }

    // When the last reading was recorded, to the millisecond; its row shows this time's second.
    const QDateTime &LastRecordTime() const { return LastRecordTime_; }

signals:
    // These parts of the display are to be redrawn from state: Activity alone for every
    // block, the frame's changes for every decoded frame, MainText alone when the Cp rule
    // rewrote a recorded reading.
    void DisplayChanged(const TMeterState &state, TDisplayChanges changes);
    // A point went onto the chart, which now shows page.
    void PointAdded(double value, std::int32_t page);
    // The record table and the chart were emptied.
    void Cleared();
    // The frame's reading is row of Table(); state is what was recorded.
    void ReadingRecorded(qsizetype row, const TMeterState &state);
    void NoticeRaised(const TNotice &notice);
    void LinkOpened();
    void LinkClosed();
    // The link broke under the session (reason is the user's text; a notice follows).
    void LinkLost(const QString &reason);
    // A kept link brought nothing for the watchdog's interval; it stays open.
    void LinkSilent();
    // The source has delivered everything it had (the end of a capture).
    void SourceEnded();

private:
    void raise(const TNotice &notice);
    void watchdogTimeout();
    bool sourceClocked() const { return Source_ && Source_->Clock() >= 0; }
    bool keepsLink() const { return KeepLink_ && Source_ && Source_->CanReconnect(); }
    void applySampling();
    void followSourceClock();
    qint64 readingTime() const;

    void FrameDecoded(const TMeterState &s, TDisplayChanges changes) override;
    void plot(const TMeterState &s);
    void record();

    TMeterSource *Source_ = nullptr;
    TFrameDecoder Decoder_;
    TRecordTable *Table_;
    TRecordingPolicy Policy_;
    QString TimeSep_; // of the rows' times
    std::unique_ptr<TChartControl> Chart_;
    TTrendSeries *Trend_ = nullptr;
    std::unique_ptr<TCaptureWriter> Capture_;
    QString CaptureName_;
    QTimer *SamplingTimer_;
    TLongTimer *Sampling_;
    QTimer *Watchdog_;
    qint64 NextTick_ = 0; // on the source's own clock, when it has one
    bool WatchdogArmed_ = false;
    bool KeepLink_ = false;
    bool Paused_ = false;
    QDateTime LastRecordTime_;
    bool Recording_ = true;
    QElapsedTimer WallClock_; // the settle time of a source without a clock of its own
};
