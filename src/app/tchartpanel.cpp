#include "tchartpanel.h"

#include "tchartcontrol.h"
#include "timagelist.h"
#include "tkeyfilter.h"
#include "tpagedchart.h"
#include "tpanelframe.h"
#include "tsavepicturedialog.h"
#include "ttoolbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

TChartPanel::TChartPanel(QWidget *parent)
    : QFrame(parent)
{
    SetPanelBevel(this, QStringLiteral("pnlChartParent"), QFrame::Plain, 0);
    auto *l = FillLayout(this);

    ToolBar2 = new TToolBar(QStringLiteral("ToolBar2"), 27, this);
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

    Chart1 = new TPagedChart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    l->addWidget(Chart1, 1);

    Timer_range = new QTimer(this);
    Timer_range->setObjectName(QStringLiteral("Timer_range"));
    Timer_range->setInterval(1000);
    SavePictureDialog1 = new TSavePictureDialog(QStringLiteral("SavePictureDialog1"), this);

    connect(Timer_range, &QTimer::timeout, this, &TChartPanel::Timer_rangeTimer);
    connect(edtRange, &QLineEdit::textChanged, this, &TChartPanel::edtRangeChange);
    connect(btnFirst, &QToolButton::clicked, this, &TChartPanel::btnFirstClick);
    connect(btnPrevious, &QToolButton::clicked, this, &TChartPanel::btnPreviousClick);
    connect(btnNext, &QToolButton::clicked, this, &TChartPanel::btnNextClick);
    connect(btnLast, &QToolButton::clicked, this, &TChartPanel::btnLastClick);
    connect(btnSave, &QToolButton::clicked, this, &TChartPanel::btnSaveClick);
    TKeyFilter::install(edtRange, [this](QChar Key) { return edtRangeKeyPress(Key); });
}

void TChartPanel::SetControl(TChartControl *control, const QString &decimalSep)
{
    Control_ = control;
    DecimalSep_ = decimalSep;
}

void TChartPanel::ShowPage(int page)
{
    edtCurPage->setText(QString::number(page));
}

bool TChartPanel::edtRangeKeyPress(QChar Key) const
{
    // Backspace always reaches the box; the filter sees only typed characters.
    return (Key >= QLatin1Char('0') && Key <= QLatin1Char('9'))
           || (!DecimalSep_.isEmpty() && Key == DecimalSep_.front());
}

void TChartPanel::edtRangeChange()
{
    // Applied a second after the last change, so typing "250" does not page by 2, then 25.
    Timer_range->stop();
    Timer_range->start();
}

void TChartPanel::Timer_rangeTimer()
{
    bool ok = false;
    int size = edtRange->text().toInt(&ok);
    if (!ok || size <= 0)
        size = DefaultPageSize;
    edtRange->setText(QString::number(size));
    if (Control_)
        Control_->SetPageSize(size);
    // Writing the box back restarted the timer.
    Timer_range->stop();
}

void TChartPanel::btnFirstClick()
{
    if (Control_)
        ShowPage(Control_->FirstPage());
}

void TChartPanel::btnPreviousClick()
{
    if (Control_)
        ShowPage(Control_->PriorPage());
}

void TChartPanel::btnNextClick()
{
    if (Control_)
        ShowPage(Control_->NextPage());
}

void TChartPanel::btnLastClick()
{
    if (Control_)
        ShowPage(Control_->LastPage());
}

void TChartPanel::btnSaveClick()
{
    if (!SavePictureDialog1->Execute(this))
        return;
    QString error;
    if (!Chart1->saveBitmap(SavePictureDialog1->FileName, &error))
        QMessageBox::critical(this, QApplication::applicationName(), error);
}
