#pragma once

#include "tcapturefile.h"
#include "tframedecoder.h"
#include "tmeterhooks.h"
#include "trecorderoptions.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class TLongTimer;
class TRecordTable;
class TRecordingStep;
class QTimer;

// The headless recorder: takes received blocks from whatever source feeds it, decodes and
// records them through the same decoder and recording step as the window, and keeps the
// output file complete at every moment it may be stopped.
class TRecorder : public QObject, private TMeterHooks
{
    Q_OBJECT
public:
    enum TExit { ExitDone = 0, ExitUsage = 1, ExitFailure = 2 };

    explicit TRecorder(const TRecorderOptions &options, QObject *parent = nullptr);
    ~TRecorder() override;

    // Appends the --open files, opens the output and the capture. False, with Error, when one
    // of them fails.
    bool Start();
    // A block as the source received it.
    void Receive(const std::uint8_t *data, std::uint32_t len);
    // Writes what is written at the end (the XML packet, the report). False on a failure.
    bool Finish();

    const QString &Error() const { return Error_; }
    qsizetype Rows() const;
    const TRecordTable &Table() const { return *Table_; }

signals:
    // The recording has what it was asked for (--frames), or cannot go on (Error says why).
    void Stopped(bool failed);

private:
    bool RecordEveryFrame() const override;
    void RecordReading(TMeterState &s) override;
    void fail(const QString &why);
    bool appendTextRows(qsizetype from);
    void printRow(qsizetype row);

    TRecorderOptions Options_;
    TFrameDecoder Decoder_;
    std::unique_ptr<TRecordTable> Table_;
    std::unique_ptr<TRecordingStep> Step_;
    QFile Text_; // the text form, written as rows arrive
    bool XmlOutput_ = false;
    QString OutputName_;
    TCaptureWriter Capture_;
    QTimer *IntervalTimer_ = nullptr;
    TLongTimer *Interval_ = nullptr;
    qsizetype Recorded_ = 0;
    bool Stopped_ = false;
    QString Error_;
};
