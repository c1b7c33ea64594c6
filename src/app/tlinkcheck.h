#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class TfrmMain;
struct TNotice;

// The start check of --check. It presses the window's own Connection button, as a user would,
// and waits for the first reading to reach the record grid, so one run proves the whole road
// from the bridge library to the grid. A notice the window raises meanwhile (no library, no
// device, a silent cable) ends the check as a failure with the notice's text; the window shows
// none, as nobody is there to answer it.
class TLinkCheck : public QObject
{
    Q_OBJECT
public:
    explicit TLinkCheck(int timeoutMs, QObject *parent = nullptr);

    // Presses Connection; the time limit runs from here. Returns at once unless a notice is shown.
    void Start(TfrmMain &window);

    bool Finished() const { return Finished_; }
    int ExitCode() const { return ExitCode_; }
    // "device: reading" after a reading, else what went wrong; one line.
    const QString &Report() const { return Report_; }

signals:
    // Raised once, when the verdict is in: 0 for a reading, 1 for none.
    void Done(int exitCode);

private:
    void Finish(int exitCode, const QString &report);
    void Notice(const TNotice &notice);
    void FirstRow(int row);

    TfrmMain *Window_ = nullptr;
    QTimer Deadline_;
    int TimeoutMs_;
    bool Finished_ = false;
    int ExitCode_ = 1;
    QString Report_;
};
