#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "formatreading.h"
#include "tccomm.h"
#include "timagelist.h"
#include "tlcdpanel.h"
#include "tlumetra.h"
#include "trecordjournal.h"
#include "ttoolbar.h"
#include "ttoplevel.h"

#include <QChartView>
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
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 924;
constexpr int ClientHeight = 623;

QFont arial8()
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    return f;
}

// A panel with the bevel of the layout; its frame already insets the contents, so layouts inside
// need no margin of their own.
QFrame *panel(const QString &name, QWidget *parent, QFrame::Shadow shadow, int lineWidth)
{
    auto *p = new QFrame(parent);
    p->setObjectName(name);
    if (lineWidth > 0) {
        p->setFrameStyle(QFrame::Panel | shadow);
        p->setLineWidth(lineWidth);
    }
    return p;
}

QVBoxLayout *fillLayout(QWidget *w, int margin)
{
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

// Components that have no widget of their own keep their names, so the window's inventory is
// whole and each subsystem can find its place.
void nonVisual(QObject *owner, const char *name)
{
    auto *o = new QObject(owner);
    o->setObjectName(QLatin1String(name));
}

QTimer *timer(QObject *owner, const char *name, int interval)
{
    auto *t = new QTimer(owner);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    return t;
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
    const QString family = QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
                               ? QStringLiteral("MS Sans Serif")
                               : QStringLiteral("Arial");
    QFont windowFont(family);
    windowFont.setStyleHint(QFont::SansSerif);
    windowFont.setPointSize(8);
    setFont(windowFont);
    setWindowIcon(ProgramIcon());
    resize(ClientWidth, ClientHeight);
    CreateComponents();
    FormCreate();
    Building_ = false;
    PlaceOnScreen(this, TScreenArea::Available);
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
}

void TfrmMain::CreateComponents()
{
    auto *top = fillLayout(this, 0);

    Panel3 = panel(QStringLiteral("Panel3"), this, QFrame::Raised, 1);
    Panel3->setFixedHeight(33);
    btnConnect = new QToolButton(Panel3);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setText(QStringLiteral("Connection"));
    btnConnect->setCheckable(true);
    btnConnect->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnConnect->setGeometry(7, 3, 106, 24);
    cbbDevices = new QComboBox(Panel3);
    cbbDevices->setObjectName(QStringLiteral("cbbDevices"));
    cbbDevices->setGeometry(119, 5, 314, 21);
    cbbDevices->hide();
    top->addWidget(Panel3);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    top->addWidget(Splitter1, 1);

    Panel1 = panel(QStringLiteral("Panel1"), Splitter1, QFrame::Plain, 0);
    auto *left = fillLayout(Panel1, 0);
    Panel2 = panel(QStringLiteral("Panel2"), Panel1, QFrame::Raised, 2);
    Panel2->setFixedHeight(249);
    pnlLcd = new TLcdPanel(Panel2);
    fillLayout(Panel2, 0)->addWidget(pnlLcd);
    left->addWidget(Panel2);
    CreateRecordPanel();
    left->addWidget(Panel4, 1);

    Panel5 = panel(QStringLiteral("Panel5"), Splitter1, QFrame::Raised, 2);
    CreateChartPanel();
    fillLayout(Panel5, 0)->addWidget(pnlChartParent);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel5);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({457, ClientWidth - 457 - 3});

    // The watchdog and the sampling timer are the session's; the window only sets them.
    timerDisconectedUSB = Session_->Watchdog();
    timerInterval = Session_->SamplingTimer();
    Timer_range = timer(this, "Timer_range", 1000);
    timerInputDelay = timer(this, "timerInputDelay", 1000);
    connect(Timer_range, &QTimer::timeout, this, &TfrmMain::Timer_rangeTimer);
    connect(timerInputDelay, &QTimer::timeout, this, &TfrmMain::timerInputDelayTimer);
    connect(Session_, &TMeterSession::DisplayChanged, this, &TfrmMain::ShowDisplay);
    connect(Session_, &TMeterSession::PointAdded, this,
            [this](double, int page) { edtCurPage->setText(QString::number(page)); });

    for (const char *name : {"frxReport1", "frxDBDataset1"})
        nonVisual(this, name);
    CreateFileDialogs();

    CreateBridge();
    CreateSerialPort();
    connect(btnConnect, &QToolButton::clicked, this, &TfrmMain::btnConnectClick);
}

void TfrmMain::CreateRecordPanel()
{
    Panel4 = panel(QStringLiteral("Panel4"), Panel1, QFrame::Sunken, 1);
    auto *l = fillLayout(Panel4, 0);

    ToolBar4 = new TToolBar(QStringLiteral("ToolBar4"), 26, Panel4);
    cbRepeat = new QCheckBox(QStringLiteral("Repeat"), ToolBar4);
    cbRepeat->setObjectName(QStringLiteral("cbRepeat"));
    cbRepeat->setFont(arial8());
    cbRepeat->setChecked(true);
    ToolBar4->addControl(cbRepeat, 89);
    cbInterval = new QCheckBox(QStringLiteral("Sampling Interval"), ToolBar4);
    cbInterval->setObjectName(QStringLiteral("cbInterval"));
    cbInterval->setFont(arial8());
    ToolBar4->addControl(cbInterval, 104);
    edtRecInterval = new QLineEdit(QStringLiteral("1"), ToolBar4);
    edtRecInterval->setObjectName(QStringLiteral("edtRecInterval"));
    edtRecInterval->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar4->addControl(edtRecInterval, 40);
    TntLabel1 = new QLabel(QStringLiteral(" S  "), ToolBar4);
    TntLabel1->setObjectName(QStringLiteral("TntLabel1"));
    TntLabel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ToolBar4->addControl(TntLabel1, 16);
    ToolBar4->addSeparator();
    btnRecordNew = ToolBar4->addButton(QStringLiteral("btnRecordNew"), QStringLiteral("Clear"),
                                       ToolIcon(iiBlankPage));
    btnRecordOpen = ToolBar4->addButton(QStringLiteral("btnRecordOpen"), QStringLiteral("Open"),
                                        ToolIcon(iiFolderYellow));
    btnRecordSave = ToolBar4->addButton(QStringLiteral("btnRecordSave"), QStringLiteral("Save"),
                                        ToolIcon(iiFloppy));
    btnRecordPrint = ToolBar4->addButton(QStringLiteral("btnRecordPrint"), QStringLiteral("Print"),
                                         ToolIcon(iiPrinter));
    btnRecordFly =
        ToolBar4->addButton(QStringLiteral("btnRecordFly"), QString(), ToolIcon(iiEnlarge));
    btnGridZoomout =
        ToolBar4->addButton(QStringLiteral("btnGridZoomout"), QString(), ToolIcon(iiShrink));
    btnGridZoomout->hide();
    l->addWidget(ToolBar4);

    DBGrid1 = new QTableView(Panel4);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    if (!QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) {
        // The grid's column widths were made for MS Sans Serif, which is narrower than its
        // stand-in: one pixel less keeps a whole time stamp ("2026-12-08 09:05:07") inside
        // its 103-pixel column instead of cutting it short.
        QFont gridFont = font();
        gridFont.setPixelSize(10);
        DBGrid1->setFont(gridFont);
    }
    // A unit such as "KOhm" fills its narrow column to the last pixel; it is clipped at the cell's
    // edge rather than replaced by an ellipsis that hides the unit altogether.
    DBGrid1->setTextElideMode(Qt::ElideNone);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->setShowGrid(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    l->addWidget(DBGrid1, 1);

    connect(cbRepeat, &QCheckBox::toggled, this, &TfrmMain::cbRepeatClick);
    connect(cbInterval, &QCheckBox::toggled, this, &TfrmMain::cbIntervalClick);
    connect(edtRecInterval, &QLineEdit::textChanged, this, &TfrmMain::edtRecIntervalChange);
    connect(btnRecordNew, &QToolButton::clicked, this, &TfrmMain::btnRecordNewClick);
    connect(btnRecordOpen, &QToolButton::clicked, this, &TfrmMain::btnRecordOpenClick);
    connect(btnRecordSave, &QToolButton::clicked, this, &TfrmMain::btnRecordSaveClick);
    connect(btnRecordPrint, &QToolButton::clicked, this, &TfrmMain::btnRecordPrintClick);
    connect(btnRecordFly, &QToolButton::clicked, this, &TfrmMain::btnRecordFlyClick);
    connect(btnGridZoomout, &QToolButton::clicked, this, &TfrmMain::btnGridZoomoutClick);
}

void TfrmMain::CreateChartPanel()
{
    pnlChartParent = panel(QStringLiteral("pnlChartParent"), Panel5, QFrame::Plain, 0);
    auto *l = fillLayout(pnlChartParent, 0);

    ToolBar2 = new TToolBar(QStringLiteral("ToolBar2"), 27, pnlChartParent);
    // Page-jump controls the tool bar carries hidden; they have no behaviour.
    auto *fill = new QCheckBox(QStringLiteral("Fill"), ToolBar2);
    fill->setChecked(true);
    fill->hide();
    auto *pageCaption = new QLabel(QStringLiteral("   Page: "), ToolBar2);
    pageCaption->hide();
    auto *gotoPage = new QLineEdit(QStringLiteral("1"), ToolBar2);
    gotoPage->setToolTip(QStringLiteral("GotoPage"));
    gotoPage->hide();
    ToolBar2->addSpacing(49);
    edtRange = new QLineEdit(QStringLiteral("100"), ToolBar2);
    edtRange->setObjectName(QStringLiteral("edtRange"));
    edtRange->setToolTip(QStringLiteral("Range"));
    edtRange->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar2->addControl(edtRange, 35);
    ToolBar2->addSeparator();
    btnFirst =
        ToolBar2->addButton(QStringLiteral("btnFirst"), QStringLiteral("First"), ToolIcon(iiFirst));
    btnPrevious = ToolBar2->addButton(QStringLiteral("btnPrevious"), QStringLiteral("Previous"),
                                      ToolIcon(iiPrevious));
    edtCurPage = new QLineEdit(QStringLiteral("1"), ToolBar2);
    edtCurPage->setObjectName(QStringLiteral("edtCurPage"));
    edtCurPage->setToolTip(QStringLiteral("CurrentPage"));
    edtCurPage->setReadOnly(true);
    edtCurPage->setAlignment(Qt::AlignCenter);
    edtCurPage->setCursor(Qt::ArrowCursor);
    edtCurPage->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));
    ToolBar2->addControl(edtCurPage, 35);
    btnNext =
        ToolBar2->addButton(QStringLiteral("btnNext"), QStringLiteral("Next"), ToolIcon(iiNext));
    btnLast =
        ToolBar2->addButton(QStringLiteral("btnLast"), QStringLiteral("Last"), ToolIcon(iiLast));
    ToolBar2->addSeparator();
    btnNew = ToolBar2->addButton(QStringLiteral("btnNew"), QStringLiteral("Clear"),
                                 ToolIcon(iiBlankPage));
    btnSave =
        ToolBar2->addButton(QStringLiteral("btnSave"), QStringLiteral("Save"), ToolIcon(iiFloppy));
    btnFly = ToolBar2->addButton(QStringLiteral("btnFly"), QString(), ToolIcon(iiEnlarge));
    btnChartZoomOut =
        ToolBar2->addButton(QStringLiteral("btnChartZoomOut"), QString(), ToolIcon(iiShrink));
    btnChartZoomOut->hide();
    auto *gotoButton = ToolBar2->addButton(QString(), QStringLiteral("GotoPage"), ToolIcon(iiGo));
    gotoButton->hide();
    l->addWidget(ToolBar2);

    Chart1 = CreateChart1(pnlChartParent);
    l->addWidget(Chart1, 1);

    connect(edtRange, &QLineEdit::textChanged, this, &TfrmMain::edtRangeChange);
    connect(btnFirst, &QToolButton::clicked, this, &TfrmMain::btnFirstClick);
    connect(btnPrevious, &QToolButton::clicked, this, &TfrmMain::btnPreviousClick);
    connect(btnNext, &QToolButton::clicked, this, &TfrmMain::btnNextClick);
    connect(btnLast, &QToolButton::clicked, this, &TfrmMain::btnLastClick);
    connect(btnNew, &QToolButton::clicked, this, &TfrmMain::btnRecordNewClick);
    connect(btnSave, &QToolButton::clicked, this, &TfrmMain::btnSaveClick);
    connect(btnFly, &QToolButton::clicked, this, &TfrmMain::btnFlyClick);
    connect(btnChartZoomOut, &QToolButton::clicked, this, &TfrmMain::btnChartZoomOutClick);
}

void TfrmMain::FormCreate()
{
    RefreshDeviceChoice();
    CreateChartControl();
    setWindowTitle(QStringLiteral("Lumetra v") + LumetraVersion());
    CreateRecordTable();
    CreateJournal();
    pnlLcd->FillUnitLabels();
    StartCapture();
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

void TfrmMain::ShowDisplay(TDisplayPart part, const TMeterState &s)
{
    switch (part) {
    case TDisplayPart::Activity:
        pnlLcd->ToggleActivity();
        break;
    case TDisplayPart::Hold:
        pnlLcd->ShowHold(s);
        break;
    case TDisplayPart::Relative:
        pnlLcd->ShowRelative(s);
        break;
    case TDisplayPart::Lcr:
        pnlLcd->ShowLcr(s);
        break;
    case TDisplayPart::Auto:
        pnlLcd->ShowAuto(s);
        break;
    case TDisplayPart::Battery:
        pnlLcd->ShowBattery(s);
        break;
    case TDisplayPart::Frequency:
        pnlLcd->ShowFrequency(s);
        break;
    case TDisplayPart::Sorting:
        pnlLcd->ShowSorting(s);
        break;
    case TDisplayPart::MainMode:
        pnlLcd->ShowMainMode(s);
        break;
    case TDisplayPart::MainUnit:
        pnlLcd->ShowMainUnit(s);
        break;
    case TDisplayPart::MainStatus:
        pnlLcd->ShowMainStatus(s, Session_->DecimalSep());
        break;
    case TDisplayPart::MainText:
        pnlLcd->ShowMainReading(s);
        break;
    case TDisplayPart::SubMode:
        pnlLcd->ShowSubMode(s);
        break;
    case TDisplayPart::SubUnit:
        pnlLcd->ShowSubUnit(s);
        break;
    case TDisplayPart::SubStatus:
        pnlLcd->ShowSubStatus(s);
        break;
    case TDisplayPart::BarMax:
        pnlLcd->SetBarMax(FullScale(s.MainDecimals));
        break;
    }
}
