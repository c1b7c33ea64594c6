#pragma once

#include "tchartpanel.h"
#include "tconnectionbar.h"
#include "tmeternotice.h"
#include "tmetersession.h"
#include "trecordpanel.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class QSplitter;
class QTimer;
class TCComm;
class TCP2110;
class TLcdPanel;

// Options the program was started with.
struct TStartOptions
{
    bool Simulate = false;
    QString Capture;   // every received block goes to this file, as it arrived
    QString Replay;    // a capture the simulated bridge plays in place of its meter
    bool Fast = false; // the replay as fast as the line takes it
    // Mirror the record table in a journal on disk and offer, at start, the records of a
    // session that did not end normally.
    bool Journal = true;
    // Press "Connection" once the window is up (after the restore question), without a click.
    bool Connect = false;
    // Wait for a meter that goes away and go on recording ("Reconnect automatically").
    bool Reconnect = false;
    // The lab bus: every recorded reading published to this broker (mqtt[s]://.../PREFIX).
    QString Mqtt;
    QString MqttCa;
    bool MqttDisplay = false; // and every decoded frame as a live view
};

// The main window: owns every component for the life of the program and wires them together.
// The behaviour behind its controls lives in the subsystems; its handlers only call them.
class TfrmMain : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmMain(const TStartOptions &options = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Receive entry points of the bridge and of the serial port; Data holds Len bytes.
    void CP21101ReceiveData(const std::uint8_t *Data, int Len);
    void CComm1ReceiveData(const std::uint8_t *Buffer, int BufferLen);
    void timerIntervalTimer();

    const QString &DecimalSep() const { return Session_->DecimalSep(); }
    const TFrameDecoder &Decoder() const { return Session_->Decoder(); }
    // The meter the window shows.
    TMeterSession *Session() const { return Session_; }

    // Notices are then only raised (NoticeRaised), never shown: nobody is there to answer.
    void SetUnattended(bool unattended);
    // Notices raised while the window was being built, told once the event loop runs.
    const QList<TNotice> &PendingNotices() const { return PendingNotices_; }

    // Controls, named as in the window's layout; each panel holds its own.
    TConnectionBar *Panel3 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QFrame *Panel1 = nullptr;
    QFrame *Panel2 = nullptr;
    TLcdPanel *pnlLcd = nullptr;
    TRecordPanel *Panel4 = nullptr;
    QFrame *Panel5 = nullptr;
    TChartPanel *pnlChartParent = nullptr;
    TCP2110 *CP21101 = nullptr;
    TCComm *CComm1 = nullptr; // held closed: no control of the window opens it
    QTimer *timerDisconectedUSB = nullptr;
    QTimer *timerInterval = nullptr;

signals:
    // Every notice the window tells the user, in the core's words: where the user may try
    // again (TryAgain), the window ends the text it shows with how.
    void NoticeRaised(const TNotice &notice);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateComponents();
    void FormCreate();
    // Opens at the drawn size, centred on the screen's free area, where that fits; maximised
    // where it does not.
    void FitToScreen();
    bool FormCloseQuery();
    void FormDestroy();

    void ShowNotice(const TNotice &notice);

    // --- connection control (tfrmmain_device.cpp) ---
    void CreateBridge();
    // --capture: the raw stream to a file.
    void StartCapture();
    // --mqtt: the session's readings onto the lab bus.
    void StartLab();
    class TBridgeSource *Bridge_ = nullptr;
    QList<TNotice> PendingNotices_;
    bool Unattended_ = false;
    bool Building_ = true;
    void CreateSerialPort();
    void RefreshDeviceChoice();
    void CloseBridge();
    void btnConnectClick();
    void CP21101Connect(QObject *Sender);
    void CP21101Disconnect(QObject *Sender);
    void CP21101DeviceChange(QObject *Sender);

    // --- record table and recording (tfrmmain_records.cpp) ---
    void CreateRecordTable();
    void btnRecordNewClick(); // also the chart tool bar's Clear
    void btnRecordOpenClick();
    void btnRecordSaveClick();
    void btnRecordPrintClick();
    class TRecordTable *cds1 = nullptr;

    // --- record files (tfrmmain_files.cpp) ---
    void CreateFileDialogs();
    void RunFileJob(class TRecordFileJob &job, const QString &fileName, bool saving);
    class TFileDialog *SaveDialog2 = nullptr;
    class TFileDialog *OpenDialog1 = nullptr;
    bool FileJobRunning_ = false;
    bool QuitAsked_ = false; // the user said Yes to quitting; the window closes once it can
    void CloseIfQuitAsked();

    // --- recording journal (tfrmmain_journal.cpp) ---
    void CreateJournal();
    void StartUp(); // the first pass of the event loop: restore question, then --connect
    void OfferJournalRestore();
    void JournalFailed(const QString &why);
    void CloseJournal();
    class TRecordJournal *Journal_ = nullptr;
    std::vector<std::unique_ptr<class TAbandonedJournal>> AbandonedJournals_;
    bool SessionEnding_ = false; // the desktop session ends: the journal is kept for restoring

    // --- sorting parts (tfrmmain_parts.cpp) ---
public:
    QAction *actPerPart = nullptr;    // the grid's context menu: "One reading per part"
    QAction *actStatistics = nullptr; // the grid's and the chart's, and Ctrl+T
    class TfrmStatistics *Statistics_ = nullptr;
    void ShowStatistics();

private:
    void CreatePartsTools();
    void actPerPartToggled(bool on);

    // --- the trend window (tfrmmain_trend.cpp) ---
public:
    QAction *actTrend = nullptr; // the chart's context menu: "Trend...", and Ctrl+G
    class TfrmTrend *Trend_ = nullptr;
    // Every reading the chart has plotted since it was last cleared, kept whole.
    const class TTrendSeries &TrendSeries() const { return *TrendSeries_; }
    void ShowTrend();

private:
    void CreateTrendTools();
    std::unique_ptr<class TTrendSeries> TrendSeries_;

    // --- enlarged views (tfrmmain_views.cpp) ---
    void btnRecordFlyClick();
    void btnGridZoomoutClick();
    void btnFlyClick();
    void btnChartZoomOutClick();

    TStartOptions Options_;
    TMeterSession *Session_;
};
