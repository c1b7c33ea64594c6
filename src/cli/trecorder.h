#pragma once

#include "tpartstatistics.h"
#include "tpartsummary.h"
#include "trecorderoptions.h"

#include <QFile>
#include <QObject>
#include <QString>

class TMeterSession;
class TMeterSource;
class TRecordTable;
struct TLabReading;
struct TNotice;

// The headless front end on one meter session: writes the session's rows to the output file as
// they are recorded, keeping it complete at every moment it may be stopped, and prints them.
class TRecorder : public QObject
{
    Q_OBJECT
public:
    enum TExit { ExitDone = 0, ExitUsage = 1, ExitFailure = 2 };

    // source: where the meter's blocks come from (none for --open alone); the session takes it.
    TRecorder(const TRecorderOptions &options, TMeterSource *source, QObject *parent = nullptr);
    ~TRecorder() override;

    // Whether every file the run will write (output, capture, report) can be written; False,
    // with Error, when one cannot. Nothing is created or changed.
    bool CheckFiles();
    // Appends the --open files, opens the source, then the capture and the output. False, with
    // Error, when one of them fails; a file is opened only once the source is.
    bool Start();
    // Stops the source and writes what is written at the end (the XML packet). False, with
    // Error, when that fails; a failure that stopped the run earlier is not told again.
    bool Finish();
    // A reading recorded elsewhere (the lab bus), kept with its own number and time.
    void AddReading(const TLabReading &reading);

    const QString &Error() const { return Error_; }
    qsizetype Rows() const;
    const TRecordTable &Table() const;
    TMeterSession &Session() const { return *Session_; }
    const TRecorderOptions &Options() const { return Options_; }
    // The statistics of every row so far (opened, recorded, arrived) with the summary's options.
    TPartSummary Summary();

signals:
    // The recording has what it was asked for (--frames), the source has played to its end,
    // or it cannot go on (Error says why).
    void Stopped(bool failed);

private:
    void recorded(qsizetype row);
    void notice(const TNotice &notice);
    void fail(const QString &why);
    void stop(bool failed);
    bool appendTextRows(qsizetype from);
    bool appendText(const QByteArray &lines);
    void printRow(qsizetype row);
    void countRows();

    TRecorderOptions Options_;
    TMeterSession *Session_;
    QFile Text_; // the text form, written as rows arrive
    bool XmlOutput_ = false;
    QString OutputName_;
    qsizetype Recorded_ = 0;
    bool Started_ = false;
    bool Stopped_ = false;
    QString Error_;
    QString WriteError_; // the output file and the system's reason a write failed
    TPartStatistics Stats_;
    qsizetype Counted_ = 0; // the rows in Stats_: each is read once, as it arrives
};
