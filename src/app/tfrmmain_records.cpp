// The main window's record table and recording controls.
#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "tcp2110.h"
#include "tkeyfilter.h"
#include "tlcdpanel.h"
#include "tlongtimer.h"
#include "trecording.h"
#include "trecordingstep.h"
#include "trecordmodel.h"
#include "trecordreport.h"
#include "trecordtable.h"
#include "treportpreview.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTableView>
#include <QTimer>

#include <exception>

void TfrmMain::CreateRecordTable()
{
    cds1 = &Session_->Table();
    Data1 = new TRecordModel(cds1, this);
    Data1->setObjectName(QStringLiteral("Data1"));
    DBGrid1->setModel(Data1);
    // One fixed row height: the grid then places a row by arithmetic, not by measuring rows.
    QHeaderView *rows = DBGrid1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(DBGrid1->font()).height() + 4);
    static constexpr int widths[] = {36, 103, 43, 43, 35, 39, 40, 34};
    for (int c = 0; c < 8; ++c)
        DBGrid1->setColumnWidth(c, widths[c]);
    // The frequency column keeps the grid's default for a 20-character field.
    const QFontMetrics fm(DBGrid1->font());
    DBGrid1->setColumnWidth(8, std::max(20 * fm.horizontalAdvance(QLatin1Char('0')) + 4,
                                        fm.horizontalAdvance(QStringLiteral("Freq")) + 4));
    connect(cds1, &TRecordTable::CurrentRowChanged, this, &TfrmMain::FollowCurrentRow);

    Session_->SetRepeat(cbRepeat->isChecked());
    TKeyFilter::install(edtRecInterval, &TfrmMain::edtRecIntervalKeyPress);
}

void TfrmMain::FollowCurrentRow(qsizetype row)
{
    // The grid moves in the next pass of the event loop, with the layout and paint that show
    // the new row. After an insertion the grid re-adds every row's height the first time a row
    // position is asked for; moving at once would pay that inside every frame's handler, and
    // twice per frame, where the layout pass pays it once.
    GridRow_ = row;
    if (GridFollowPending_)
        return;
    GridFollowPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            GridFollowPending_ = false;
            if (GridRow_ < 0 || GridRow_ >= Data1->rowCount())
                return;
            // scrollToBottom lays out the new rows first, so the scroll range includes them.
            if (GridRow_ == Data1->rowCount() - 1)
                DBGrid1->scrollToBottom();
            DBGrid1->selectRow(int(GridRow_));
        },
        Qt::QueuedConnection);
}

bool TfrmMain::edtRecIntervalKeyPress(QChar Key)
{
    return Key >= u'0' && Key <= u'9';
}

void TfrmMain::cbRepeatClick()
{
    Session_->SetRepeat(cbRepeat->isChecked());
    // "Sampling Interval" records one frame per tick, which needs every frame recorded.
    if (!cbRepeat->isChecked() && cbInterval->isChecked())
        cbInterval->setChecked(false);
}

void TfrmMain::cbIntervalClick()
{
    if (cbInterval->isChecked() && !cbRepeat->isChecked())
        cbRepeat->setChecked(true);
    Session_->SetSampling(cbInterval->isChecked());
}

void TfrmMain::edtRecIntervalChange()
{
    // Applied a second after the last change, so typing "15" never runs a 1 s interval first.
    timerInputDelay->stop();
    timerInputDelay->start();
}

void TfrmMain::timerInputDelayTimer()
{
    timerInputDelay->stop();
    if (!RecordIntervalSeconds(edtRecInterval->text()))
        edtRecInterval->setText(QStringLiteral("1"));
    const qint64 seconds = RecordIntervalSeconds(edtRecInterval->text()).value_or(1);
    Session_->SetSamplingInterval(seconds * 1000);
}

void TfrmMain::btnRecordNewClick()
{
    if (NewMessageDlg(QStringLiteral("Are you sure that you want to delete this record?"),
                      mtConfirmation, MsgDlgButtons({mbYes, mbNo}), 0)
        != mrYes)
        return;
    Session_->Clear();
}

void TfrmMain::btnRecordPrintClick()
{
    // No data is taken from the meter while the preview is open, so the silence watchdog
    // must not count the pause against the link.
    Session_->SetPaused(true);
    QString failure;
    {
        // However the preview ends: the watchdog's full period again if the link survived it,
        // and reading goes on.
        const auto resume = qScopeGuard([this] { Session_->SetPaused(false); });
        try {
            TRecordReport report;
            report.Prepare(*cds1);
            ShowReportPreview(report, this);
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
        }
    }
    if (!failure.isEmpty())
        NewMessageDlg(failure, mtError, MsgDlgButtons({mbOK}), 0);
}
