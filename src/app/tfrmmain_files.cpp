// The main window's record files: the Save and Open buttons of the record tool bar.
#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "tfiledialog.h"
#include "trecordfilejob.h"
#include "trecordmodel.h"
#include "trecordtable.h"
#include "ttoplevel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTableView>
#include <QTimer>

#include <limits>

void TfrmMain::CreateFileDialogs()
{
    SaveDialog2 = new TFileDialog(TFileDialog::TKind::Save, QStringLiteral("SaveDialog2"), this);
    SaveDialog2->Filter = QStringLiteral("Excel File(*.xls)|*.xls|XML File(*.xml)|*.xml|"
                                         "Txt File(*.txt)|*.txt");
    SaveDialog2->DefaultExt = QStringLiteral("xls");
    SaveDialog2->WrittenName = [](const QString &name) { return SaveTargetOf(name).FileName; };
    OpenDialog1 = new TFileDialog(TFileDialog::TKind::Open, QStringLiteral("OpenDialog1"), this);
    OpenDialog1->Filter = QStringLiteral("Excel data files (*.xls)|*.xls|XML data files (*.xml)|"
                                         "*.xml|notepad data files (*.txt)|*.txt");
}

void TfrmMain::btnRecordSaveClick()
{
    if (FileJobRunning_ || !SaveDialog2->Execute(this))
        return;
    const auto quit = qScopeGuard([this] { CloseIfQuitAsked(); });
    TRecordSaveJob job(*cds1, SaveDialog2->FileName, Panel4->GridTitles());
    RunFileJob(job, QFileInfo(job.Target().FileName).fileName(), true);
    if (!job.IsFinished())
        return;
    const TSaveOutcome &outcome = job.Outcome();
    // A failed XML save shows the error itself, as an error.
    const bool error =
        !outcome.Ok && !outcome.Cancelled && outcome.Target.Form == TRecordFileForm::Xml;
    NewMessageDlg(outcome.Message, error ? mtError : mtInformation, MsgDlgButtons({mbOK}), 0);
}

void TfrmMain::btnRecordOpenClick()
{
    if (FileJobRunning_ || !OpenDialog1->Execute(this))
        return;
    const auto quit = qScopeGuard([this] { CloseIfQuitAsked(); });
    TRecordOpenJob job(*cds1, OpenDialog1->FileName, false);
    RunFileJob(job, QFileInfo(OpenDialog1->FileName).fileName(), false);
    if (job.IsFinished() && !job.Outcome().Ok && !job.Outcome().Cancelled)
        QMessageBox::critical(nullptr, QStringLiteral("Error"),
                              QString::fromLatin1(OpenFailedMessage));
}

void TfrmMain::RunFileJob(TRecordFileJob &job, const QString &fileName, bool saving)
{
    // The job runs beside this loop, so the window goes on painting and taking the meter's
    // data; a save or open that takes longer than half a second shows its progress, which
    // also keeps the window's controls from starting a second one. The progress never comes
    // up over a question asked meanwhile: it waits until the question is answered.
    FileJobRunning_ = true;
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("FileProgress"));
    progress.setWindowTitle(saving ? QStringLiteral("Save") : QStringLiteral("Open"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(std::numeric_limits<int>::max()); // shown below, not by itself
    progress.setRange(0, 1000);
    progress.setValue(0); // restarts the dialog's own timer with that duration
    QElapsedTimer clock;
    clock.start();
    const QLocale locale;
    const auto labelFor = [&](qint64 rows) {
        return saving ? QStringLiteral("Saving %1 of %2 rows to %3")
                            .arg(locale.toString(rows), locale.toString(job.Total()), fileName)
                      : QStringLiteral("Opening %1: %2 rows read")
                            .arg(fileName, locale.toString(rows));
    };
    const auto update = [&] {
        progress.setLabelText(labelFor(job.Rows()));
        const QWidget *modal = QApplication::activeModalWidget();
        if (!progress.isVisible() && (QuitAsked_ || clock.elapsed() >= 500)
            && (!modal || modal == &progress)) {
            // As wide as its longest text from the start (a file holds no more rows than
            // bytes), so that it stays where it was centred while the count grows: hidden, it
            // takes the size its text asks for; shown, it only ever grows.
            const QString now = progress.labelText();
            progress.ensurePolished();
            progress.setLabelText(labelFor(job.Total()));
            CentreOnParent(&progress);
            progress.show();
            progress.setLabelText(now);
        }
        const qint64 total = job.Total();
        if (progress.isVisible())
            progress.setValue(total > 0 ? int(job.Done() * 1000 / total) : 0);
    };
    QTimer poll;
    poll.setInterval(100);
    connect(&poll, &QTimer::timeout, &progress, update);
    connect(&progress, &QProgressDialog::canceled, &job, &TRecordFileJob::Cancel);
    QEventLoop loop;
    connect(&job, &TRecordFileJob::Finished, &loop, &QEventLoop::quit);
    job.Start();
    update();
    poll.start();
    if (!job.IsFinished())
        loop.exec();
    FileJobRunning_ = false;
}

void TfrmMain::CloseIfQuitAsked()
{
    if (QuitAsked_)
        close();
}
