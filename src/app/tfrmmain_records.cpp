// The main window's record table and recording controls.
#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "trecordpanel.h"
#include "trecordreport.h"
#include "trecordtable.h"
#include "treportpreview.h"

#include <QScopeGuard>

#include <exception>

void TfrmMain::CreateRecordTable()
{
    cds1 = &Session_->Table();
    Panel4->SetTable(cds1);
    Session_->SetMode(Panel4->Mode());
    connect(Panel4, &TRecordPanel::ModeChanged, Session_, &TMeterSession::SetMode);
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
