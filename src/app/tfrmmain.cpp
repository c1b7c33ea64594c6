#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "tccomm.h"
#include "tchartpanel.h"
#include "tconnectionbar.h"
#include "tfrmtrend.h"
#include "timagelist.h"
#include "tlcdpanel.h"
#include "tlumetra.h"
#include "tpagedchart.h"
#include "tpanelframe.h"
#include "trecordjournal.h"
#include "trecordpanel.h"
#include "ttoplevel.h"
#include "ttrendseries.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 924;
constexpr int ClientHeight = 623;

// Components that have no widget of their own keep their names, so the window's inventory is
// whole and each subsystem can find its place.
void nonVisual(QObject *owner, const char *name)
{
    auto *o = new QObject(owner);
    o->setObjectName(QLatin1String(name));
}

} // namespace

TfrmMain::TfrmMain(const TStartOptions &options, QWidget *parent)
    : QWidget(parent)
    , Options_(options)
    , Session_(new TMeterSession(this))
{
    setObjectName(QStringLiteral("frmMain"));
    // The layout was drawn for MS Sans Serif 8 pt; where it is missing, Arial (on Linux its
    // metric twin) keeps the captions inside their fixed boxes. Asking for the missing family
    // would get the desktop's default sans, which is wider.
    QFont windowFont;
    windowFont.setFamilies(
        QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
            ? QStringList{QStringLiteral("MS Sans Serif")}
            : QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    windowFont.setStyleHint(QFont::SansSerif);
    windowFont.setPointSize(8);
    setFont(windowFont);
    setWindowIcon(ProgramIcon());
    resize(ClientWidth, ClientHeight);
    CreateComponents();
    FormCreate();
    Building_ = false;
    FitToScreen();
}

void TfrmMain::FitToScreen()
{
    // The screen the window opens on, in its own pixels (at 200 % a 1280 x 900 screen is
    // 640 x 450 of them): the drawn size where it fits, else as large as the screen allows.
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 640, 480);
    const TWindowFit fit = FitWindow(size() + FrameAllowance,
                                     layout()->totalMinimumSize() + FrameAllowance, area.size());
    if (fit.Scroll) {
        // Not even the panels' least sizes fit: they keep them, and the window scrolls to
        // reach them rather than run off the screen.
        auto *scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("ScrollBox"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        auto *content = new QWidget(scroll);
        content->setObjectName(QStringLiteral("ScrollContent"));
        auto *inner = FillLayout(content);
        auto *outer = static_cast<QBoxLayout *>(layout());
        while (QLayoutItem *item = outer->takeAt(0)) {
            if (QWidget *w = item->widget())
                inner->addWidget(w, w == Splitter1 ? 1 : 0);
            delete item;
        }
        scroll->setWidget(content);
        outer->addWidget(scroll);
    }
    if (fit.Maximise)
        setWindowState(windowState() | Qt::WindowMaximized);
    else
        PlaceOnScreen(this, TScreenArea::Available);
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
}

void TfrmMain::CreateComponents()
{
    auto *top = FillLayout(this);

    Panel3 = new TConnectionBar(this);
    top->addWidget(Panel3);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    top->addWidget(Splitter1, 1);

    Panel1 = NewPanel(QStringLiteral("Panel1"), Splitter1, QFrame::Plain, 0);
    auto *left = FillLayout(Panel1);
    Panel2 = NewPanel(QStringLiteral("Panel2"), Panel1, QFrame::Raised, 2);
    Panel2->setFixedHeight(249);
    pnlLcd = new TLcdPanel(Panel2);
    FillLayout(Panel2)->addWidget(pnlLcd);
    left->addWidget(Panel2);
    Panel4 = new TRecordPanel(Panel1);
    left->addWidget(Panel4, 1);

    Panel5 = NewPanel(QStringLiteral("Panel5"), Splitter1, QFrame::Raised, 2);
    pnlChartParent = new TChartPanel(Panel5);
    FillLayout(Panel5)->addWidget(pnlChartParent);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel5);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({457, ClientWidth - 457 - 3});

    // The watchdog and the sampling timer are the session's; the window only sets them.
    timerDisconectedUSB = Session_->Watchdog();
    timerInterval = Session_->SamplingTimer();
    connect(Session_, &TMeterSession::DisplayChanged, pnlLcd,
            [this](const TMeterState &s, TDisplayChanges changes) {
                pnlLcd->ShowDisplay(s, changes, Session_->DecimalSep());
            });
    connect(Session_, &TMeterSession::PointAdded, pnlChartParent,
            [this](double, int page) { pnlChartParent->ShowPage(page); });

    for (const char *name : {"frxReport1", "frxDBDataset1"})
        nonVisual(this, name);
    CreateFileDialogs();

    CreateBridge();
    CreateSerialPort();
    connect(Panel3->btnConnect, &QToolButton::clicked, this, &TfrmMain::btnConnectClick);
    const TRecordPanel *records = Panel4;
    connect(records->btnRecordNew, &QToolButton::clicked, this, &TfrmMain::btnRecordNewClick);
    connect(records->btnRecordOpen, &QToolButton::clicked, this, &TfrmMain::btnRecordOpenClick);
    connect(records->btnRecordSave, &QToolButton::clicked, this, &TfrmMain::btnRecordSaveClick);
    connect(records->btnRecordPrint, &QToolButton::clicked, this, &TfrmMain::btnRecordPrintClick);
    connect(records->btnRecordFly, &QToolButton::clicked, this, &TfrmMain::btnRecordFlyClick);
    connect(records->btnGridZoomout, &QToolButton::clicked, this, &TfrmMain::btnGridZoomoutClick);
    const TChartPanel *chart = pnlChartParent;
    connect(chart->btnNew, &QToolButton::clicked, this, &TfrmMain::btnRecordNewClick);
    connect(chart->btnFly, &QToolButton::clicked, this, &TfrmMain::btnFlyClick);
    connect(chart->btnChartZoomOut, &QToolButton::clicked, this, &TfrmMain::btnChartZoomOutClick);
}

void TfrmMain::FormCreate()
{
    RefreshDeviceChoice();
    Session_->SetChart(pnlChartParent->Engine(), TChartPanel::DefaultPageSize);
    pnlChartParent->SetControl(Session_->Chart(), DecimalSep());
    setWindowTitle(QStringLiteral("Lumetra v") + LumetraVersion());
    CreateRecordTable();
    CreatePartsTools();
    CreateTrendTools();
    CreateJournal();
    pnlLcd->FillUnitLabels();
    StartCapture();
    StartLab();
    QTimer::singleShot(0, this, &TfrmMain::StartUp);
}

bool TfrmMain::FormCloseQuery()
{
    return NewMessageDlg(QStringLiteral("Are you sure that you want to quit this application?"),
                         mtConfirmation, MsgDlgButtons({mbYes, mbNo}), 0)
           == mrYes;
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!QuitAsked_) {
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
        QuitAsked_ = true;
    }
    // A save or open that runs goes on to its end, its progress in view; its handler closes
    // the window then. Dropping it here would lose the file the user is waiting for.
    if (FileJobRunning_) {
        event->ignore();
        return;
    }
    CloseJournal();
    event->accept();
}

void TfrmMain::FormDestroy()
{
    // A window that goes without a session's end (the program quits, a test or --check ends)
    // ends normally too; only a process that dies leaves its journal to be restored.
    if (!SessionEnding_)
        CloseJournal();
    // The session's source must not hand a block to a window half gone.
    CloseBridge();
    CComm1->Close();
    Session_->disconnect(this);
    // The trend's readings go with the window's members, before its child windows.
    Session_->SetTrend(nullptr);
    delete Trend_;
    Trend_ = nullptr;
}

// --- receiving -------------------------------------------------------------------------------

void TfrmMain::CP21101ReceiveData(const std::uint8_t *Data, int Len)
{
    Session_->Receive(Data, std::uint32_t(Len));
}

void TfrmMain::CComm1ReceiveData(const std::uint8_t *Buffer, int BufferLen)
{
    Session_->Receive(Buffer, std::uint32_t(BufferLen), TBlockPath::Serial);
}

void TfrmMain::timerIntervalTimer()
{
    Session_->SamplingTick();
}
