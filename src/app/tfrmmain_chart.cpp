// The main window's trend chart and its tool bar.
#include "tfrmmain.h"

#include "tchartcontrol.h"
#include "tkeyfilter.h"
#include "tqtchartengine.h"
#include "tsavepicturedialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

namespace {
constexpr int DefaultPageSize = 100;
}

QChartView *TfrmMain::CreateChart1(QWidget *parent)
{
    ChartEngine_ = new TQtChartEngine(parent);
    ChartEngine_->setObjectName(QStringLiteral("Chart1"));
    return ChartEngine_;
}

void TfrmMain::CreateChartControl()
{
    Session_->SetChart(*ChartEngine_, DefaultPageSize);
    SavePictureDialog1 = new TSavePictureDialog(QStringLiteral("SavePictureDialog1"), this);
    TKeyFilter::install(edtRange, [this](QChar Key) { return edtRangeKeyPress(Key); });
}

bool TfrmMain::edtRangeKeyPress(QChar Key)
{
    // Backspace always reaches the box; the filter sees only typed characters.
    return (Key >= QLatin1Char('0') && Key <= QLatin1Char('9'))
           || (!DecimalSep().isEmpty() && Key == DecimalSep().front());
}

void TfrmMain::edtRangeChange()
{
    // Applied a second after the last change, so typing "250" does not page by 2, then 25.
    Timer_range->stop();
    Timer_range->start();
}

void TfrmMain::Timer_rangeTimer()
{
    bool ok = false;
    int size = edtRange->text().toInt(&ok);
    if (!ok || size == -1) {
        edtRange->setText(QString::number(DefaultPageSize));
        size = DefaultPageSize;
    }
    if (size <= 0) {
        edtRange->setText(QString::number(DefaultPageSize));
        size = DefaultPageSize;
    }
    edtRange->setText(QString::number(size));
    Session_->Chart()->SetPageSize(size);
    // Writing the box back restarted the timer.
    Timer_range->stop();
}

void TfrmMain::btnFirstClick()
{
    edtCurPage->setText(QString::number(Session_->Chart()->FirstPage()));
}

void TfrmMain::btnPreviousClick()
{
    edtCurPage->setText(QString::number(Session_->Chart()->PriorPage()));
}

void TfrmMain::btnNextClick()
{
    edtCurPage->setText(QString::number(Session_->Chart()->NextPage()));
}

void TfrmMain::btnLastClick()
{
    edtCurPage->setText(QString::number(Session_->Chart()->LastPage()));
}

void TfrmMain::btnSaveClick()
{
    if (!SavePictureDialog1->Execute(this))
        return;
    QString error;
    if (!ChartEngine_->saveBitmap(SavePictureDialog1->FileName, &error))
        QMessageBox::critical(this, QApplication::applicationName(), error);
}
