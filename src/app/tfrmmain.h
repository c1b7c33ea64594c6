#pragma once

#include "tframedecoder.h"
#include "tmeterhooks.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;
class TCComm;
class TCP2110;
class TLcdPanel;
class TToolBar;
class QChartView;

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
};

// The main window: owns every component for the life of the program and wires them together.
// The behaviour behind its controls lives in the subsystems; its handlers only call them.
class TfrmMain : public QWidget, private TMeterHooks
{
    Q_OBJECT
public:
    explicit TfrmMain(const TStartOptions &options = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Receive entry points of the bridge and of the serial port; Data holds Len bytes.
    void CP21101ReceiveData(const std::uint8_t *Data, int Len);
    void CComm1ReceiveData(const std::uint8_t *Buffer, int BufferLen);
    void timerIntervalTimer();

    const QString &DecimalSep() const { return Decoder_.DecimalSep(); }
    const TFrameDecoder &Decoder() const { return Decoder_; }

    // Controls, named as in the window's layout.
    QFrame *Panel3 = nullptr;
    QToolButton *btnConnect = nullptr;
    QComboBox *cbbDevices = nullptr;
    QSplitter *Splitter1 = nullptr;
    QFrame *Panel1 = nullptr;
    QFrame *Panel2 = nullptr;
    TLcdPanel *pnlLcd = nullptr;
    QFrame *Panel4 = nullptr;
    TToolBar *ToolBar4 = nullptr;
    QCheckBox *cbRepeat = nullptr;
    QCheckBox *cbInterval = nullptr;
    QLineEdit *edtRecInterval = nullptr;
    QLabel *TntLabel1 = nullptr;
    QToolButton *btnRecordNew = nullptr;
    QToolButton *btnRecordOpen = nullptr;
    QToolButton *btnRecordSave = nullptr;
    QToolButton *btnRecordPrint = nullptr;
    QToolButton *btnRecordFly = nullptr;
    QToolButton *btnGridZoomout = nullptr;
    QTableView *DBGrid1 = nullptr;
    QFrame *Panel5 = nullptr;
    QFrame *pnlChartParent = nullptr;
    TToolBar *ToolBar2 = nullptr;
    QLineEdit *edtRange = nullptr;
    QToolButton *btnFirst = nullptr;
    QToolButton *btnPrevious = nullptr;
    QLineEdit *edtCurPage = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;
    QToolButton *btnNew = nullptr;
    QToolButton *btnSave = nullptr;
    QToolButton *btnFly = nullptr;
    QToolButton *btnChartZoomOut = nullptr;
    QChartView *Chart1 = nullptr;
    TCP2110 *CP21101 = nullptr;
    TCComm *CComm1 = nullptr; // held closed: no control of the window opens it
    QTimer *timerDisconectedUSB = nullptr;
    QTimer *Timer_range = nullptr;
    QTimer *timerInputDelay = nullptr;
    QTimer *timerInterval = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateComponents();
    void CreateRecordPanel();
    void CreateChartPanel();
    void FormCreate();
    bool FormCloseQuery();
    void FormDestroy();

    // TMeterHooks: the decoder's refreshes go to the panel, the chart and the recording.
    void ShowHold(const TMeterState &s) override;
    void ShowRelative(const TMeterState &s) override;
    void ShowLcr(const TMeterState &s) override;
    void ShowAuto(const TMeterState &s) override;
    void ShowBattery(const TMeterState &s) override;
    void ShowFrequency(const TMeterState &s) override;
    void ShowSorting(const TMeterState &s) override;
    void ShowMainMode(const TMeterState &s) override;
    void ShowMainUnit(const TMeterState &s) override;
    void ShowMainStatus(const TMeterState &s) override;
    void ShowSubMode(const TMeterState &s) override;
    void ShowSubUnit(const TMeterState &s) override;
    void ShowSubStatus(const TMeterState &s) override;
    void SetBarMax(int v) override;

    // --- connection control (tfrmmain_device.cpp) ---
    void CreateBridge();
    // --capture and --replay: the raw stream to a file, and a file in place of the meter.
    void StartCapture();
    void StartReplay();
    void ReplayBlock(const std::uint8_t *Data, std::uint32_t Len);
    std::unique_ptr<class TCaptureWriter> Capture_;
    class TCaptureReplay *Replay_ = nullptr;
    void *ReplayFeed_ = nullptr; // HidUartSim_FeedBytes of the loaded simulated bridge
    void CreateSerialPort();
    void RefreshDeviceChoice();
    void CloseBridge();
    void btnConnectClick();
    void timerDisconectedUSBTimer();
    void CP21101Connect(QObject *Sender);
    void CP21101Disconnect(QObject *Sender);
    void CP21101Removal(QObject *Sender);
    void CP21101Error(QObject *Sender, std::uint32_t ErrorCode, const QByteArray &ErrorMsg);
    void CP21101DeviceChange(QObject *Sender);

    // --- record table and recording (tfrmmain_records.cpp) ---
    void CreateRecordTable();
    bool RecordEveryFrame() const override;
    void RecordReading(TMeterState &s) override;
    static bool edtRecIntervalKeyPress(QChar Key);
    void cbRepeatClick();
    void cbIntervalClick();
    void edtRecIntervalChange();
    void timerInputDelayTimer();
    void btnRecordNewClick(); // also the chart tool bar's Clear
    void btnRecordOpenClick();
    void btnRecordSaveClick();
    void btnRecordPrintClick();
    void btnRecordFlyClick();
    void btnGridZoomoutClick();
    void FollowCurrentRow(qsizetype row); // the grid moves to the table's current row
    class TRecordTable *cds1 = nullptr;
    class TRecordModel *Data1 = nullptr;             // binds cds1 to DBGrid1
    class TLongTimer *timerIntervalChain_ = nullptr; // serves intervals past a QTimer's int
    QLineEdit *lcdMDisp_ = nullptr;
    std::unique_ptr<class TRecordingStep> RecordingStep_; // shared with the headless recorder
    qsizetype GridRow_ = -1;
    bool GridFollowPending_ = false;

    // --- record files (tfrmmain_files.cpp) ---
    void CreateFileDialogs();
    QStringList GridTitles() const; // the text form's header: the grid's titles in order
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

    // --- trend chart (tfrmmain_chart.cpp) ---
    void CreateChartControl();
    int AddChartPoint(double value);
    void ClearChart(); // the Clear buttons empty the chart with the record table
    void SetAxisMin(double v) override;
    void SetAxisMax(double v) override;
    void edtRangeChange();
    void Timer_rangeTimer();
    void btnFirstClick();
    void btnPreviousClick();
    void btnNextClick();
    void btnLastClick();
    void btnSaveClick();
    void btnFlyClick();
    void btnChartZoomOutClick();
    QChartView *CreateChart1(QWidget *parent);
    bool edtRangeKeyPress(QChar Key);
    struct ChartControlDeleter
    {
        void operator()(class TChartControl *control) const;
    };
    class TQtChartEngine *ChartEngine_ = nullptr; // Chart1, as the controller drives it
    std::unique_ptr<TChartControl, ChartControlDeleter> ChartControl_;
    class TSavePictureDialog *SavePictureDialog1 = nullptr;

    TStartOptions Options_;
    TFrameDecoder Decoder_;
};

// The decimal separator of the system's locale (its numeric settings).
QString ReadDecimalSep();
