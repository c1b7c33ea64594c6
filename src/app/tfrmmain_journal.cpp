// The main window's recording journal: the record table mirrored on disk, and the records of a
// session that did not end normally offered back at start.
#include "tfrmmain.h"

#include <utility>

#include "newmessagedlg.h"
#include "trecordfilejob.h"
#include "trecordjournal.h"
#include "trecordtable.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSessionManager>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

// "2026-12-09 14:38:12" from a journal's name, which begins with its start time.
QString startOf(const QString &fileName)
{
    const QString stamp = QFileInfo(fileName).completeBaseName().mid(8, 15);
    const QDateTime start = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss"));
    return start.isValid() ? start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

void TfrmMain::CreateJournal()
{
    if (!Options_.Journal)
        return;
    // Found before this instance's own journal exists, and held (locked) until answered, so no
    // second instance offers the same records.
    AbandonedJournals_ = TAbandonedJournal::Find(TRecordJournal::Folder());
    Journal_ = new TRecordJournal(*cds1, this);
    Journal_->setObjectName(QStringLiteral("Journal"));
    connect(Journal_, &TRecordJournal::Failed, this, &TfrmMain::JournalFailed);
    Journal_->Start();
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager &) { SessionEnding_ = true; });
}

void TfrmMain::StartUp()
{
    // What went wrong while the window was built is told once it is up.
    for (const TNotice &notice : std::exchange(PendingNotices_, {}))
        ShowNotice(notice);
    OfferJournalRestore();
    if (QuitAsked_) {
        close();
        return;
    }
    // Restored records come first, then what the meter sends.
    if (Options_.Connect)
        Panel3->btnConnect->click();
}

void TfrmMain::OfferJournalRestore()
{
    if (AbandonedJournals_.empty())
        return;
    auto journals = std::move(AbandonedJournals_);
    for (auto &journal : journals) {
        if (QuitAsked_)
            break; // asked to quit while a restore ran; the rest stay for the next start
        const qsizetype rows = journal->Rows();
        const QString start = startOf(journal->FileName());
        const QString question =
            QStringLiteral("The session %1did not close normally. Restore its %2 %3?")
                .arg(start.isEmpty() ? QString() : QStringLiteral("started on %1 ").arg(start),
                     QLocale().toString(rows),
                     rows == 1 ? QStringLiteral("record") : QStringLiteral("records"));
        // A bench that starts itself (--connect) has nobody to answer: the records come back
        // as a Yes would bring them, and the terminal says so.
        if (Options_.Connect) {
            std::fprintf(stderr, "lumetra: %s Restoring them.\n",
                         question.left(question.lastIndexOf(QLatin1String(" Restore")))
                             .toLocal8Bit()
                             .constData());
            std::fflush(stderr);
        } else if (NewMessageDlg(question, mtConfirmation, MsgDlgButtons({mbYes, mbNo}), 0)
                   != mrYes) {
            continue; // the journal stays where it is
        }
        TRecordOpenJob job(*cds1, journal->FileName(), false);
        job.ReadAsJournal();
        RunFileJob(job, QFileInfo(journal->FileName()).fileName(), false);
        if (!job.IsFinished() || job.Outcome().Cancelled)
            continue;
        if (!job.Outcome().Ok) {
            if (Options_.Connect) {
                std::fprintf(stderr, "lumetra: %s: %s\n",
                             journal->FileName().toLocal8Bit().constData(), OpenFailedMessage);
                std::fflush(stderr);
            } else {
                QMessageBox::critical(nullptr, QStringLiteral("Error"),
                                      QString::fromLatin1(OpenFailedMessage));
            }
            continue;
        }
        if (const qsizetype skipped = job.Outcome().Skipped; skipped > 0)
            NewMessageDlg(QStringLiteral("%1 damaged %2 of the journal could not be restored; "
                                         "the other records were.")
                              .arg(QLocale().toString(skipped),
                                   skipped == 1 ? QStringLiteral("line") : QStringLiteral("lines")),
                          mtInformation, MsgDlgButtons({mbOK}), 0);
        // The records live in this session's journal now; once that is on the disk the old
        // one can go. Without a journal of its own the old one is kept (and held) until this
        // session ends normally, so a crash still finds it, yet it is never offered twice.
        if (!(Journal_ && Journal_->IsOn() && Journal_->Sync() && journal->Discard()))
            AbandonedJournals_.push_back(std::move(journal));
    }
}

void TfrmMain::JournalFailed(const QString &why)
{
    // Shown from the event loop, never from inside the frame handler that hit the failure.
    const QString notice =
        QStringLiteral("The records are no longer kept safe on disk: %1. "
                       "Recording goes on; save the records before quitting to keep them.")
            .arg(why);
    QTimer::singleShot(
        0, this, [notice] { NewMessageDlg(notice, mtInformation, MsgDlgButtons({mbOK}), 0); });
}

void TfrmMain::CloseJournal()
{
    if (Journal_)
        Journal_->Close();
    // Restored journals this session could not take over: its normal end consumes them.
    for (const auto &restored : std::exchange(AbandonedJournals_, {}))
        restored->Discard();
}
