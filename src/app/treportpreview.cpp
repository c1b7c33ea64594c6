#include "treportpreview.h"

#include "newmessagedlg.h"
#include "trecordreport.h"
#include "treportwriter.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>

namespace {

std::unique_ptr<QPrinter> reportPrinter()
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const QPageLayout page = TRecordReport::DefaultPageLayout();
    // A printer that cannot print as close to the edge keeps the paper and its own margins.
    if (!printer->setPageLayout(page)) {
        printer->setPageSize(page.pageSize());
        printer->setPageOrientation(page.orientation());
        printer->setPageMargins(page.margins(), page.units());
    }
    return printer;
}

// The folder the next PDF is offered in: where the last one went, else the user's documents.
QString &pdfFolder()
{
    static QString folder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder;
}

} // namespace

TReportPreview::TReportPreview(const TRecordReport &report, QWidget *parent)
    : TReportPreview(report, reportPrinter(), parent)
{}

TReportPreview::TReportPreview(const TRecordReport &report, std::unique_ptr<QPrinter> printer,
                               QWidget *parent)
    : QPrintPreviewDialog(printer.get(), parent)
    , Report_(report)
    , Printer_(std::move(printer))
{
    setObjectName(QStringLiteral("frmReportPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    connect(this, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *target) { PrintReport(Report_, *target); });

    actSavePdf = new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                             QStringLiteral("Save as PDF"), this);
    actSavePdf->setObjectName(QStringLiteral("actSavePdf"));
    connect(actSavePdf, &QAction::triggered, this, &TReportPreview::SaveAsPdf);
    if (auto *bar = findChild<QToolBar *>()) {
        bar->addSeparator();
        bar->addAction(actSavePdf);
    }

    // A page typed into Qt's page box is shown, but its paging buttons are left as they were
    // for the page before (Qt sets them only when the view scrolls to another page, and here
    // it has scrolled already): Next and Last stayed disabled with pages after it. The view
    // tells the dialog of its change once more, after Qt's own handling of the box, and the
    // dialog sets them as for any other move.
    if (auto *pages = findChild<QPrintPreviewWidget *>()) {
        for (QLineEdit *box : findChildren<QLineEdit *>()) {
            if (qobject_cast<QComboBox *>(box->parentWidget()))
                continue; // the zoom box's
            connect(box, &QLineEdit::editingFinished, pages,
                    [pages] { emit pages->previewChanged(); });
        }
    }

    // 100 % through the dialog's own zoom box, so its fit buttons let go as a click would.
    auto *zoom = findChild<QComboBox *>();
    const int actual = zoom ? zoom->findText(QStringLiteral("100%")) : -1;
    if (actual >= 0)
        zoom->setCurrentIndex(actual);
    else if (auto *pages = findChild<QPrintPreviewWidget *>())
        pages->setZoomFactor(1.0);
    setWindowState(windowState() | Qt::WindowMaximized);
}

TReportPreview::~TReportPreview() = default;

void TReportPreview::SaveAsPdf()
{
    QFileDialog dialog(this, QStringLiteral("Save as PDF"), pdfFolder(),
                       QStringLiteral("PDF files (*.pdf)"));
    dialog.setObjectName(QStringLiteral("SavePdfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(QStringLiteral("records.pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    pdfFolder() = QFileInfo(fileName).absolutePath();
    WritePdf(fileName);
}

bool TReportPreview::WritePdf(const QString &fileName)
{
    const auto fail = [&](const QString &why) {
        NewMessageDlg(QStringLiteral("The report could not be saved as \"%1\".\n%2")
                          .arg(QDir::toNativeSeparators(fileName), why),
                      mtError, MsgDlgButtons({mbOK}), 0);
        return false;
    };
    // In the page layout the preview shows, which page setup may have changed.
    TReportPdfFile pdf(Report_, fileName, Printer_->pageLayout());
    if (!pdf.Begin())
        return fail(pdf.ErrorString());
    QProgressDialog progress(QStringLiteral("Saving the report as PDF..."),
                             QStringLiteral("Cancel"), 0, pdf.PageCount(), this);
    progress.setWindowTitle(QStringLiteral("Save as PDF"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    // Pages go out in slices of a few dozen milliseconds, so a long report leaves the
    // program responsive and can be cancelled.
    QElapsedTimer slice;
    slice.start();
    while (pdf.WriteNext()) {
        if (slice.elapsed() < 40)
            continue;
        progress.setValue(pdf.PagesWritten());
        QCoreApplication::processEvents();
        if (progress.wasCanceled()) {
            pdf.Cancel();
            return false;
        }
        slice.restart();
    }
    progress.setValue(pdf.PageCount());
    if (!pdf.Commit())
        return fail(pdf.ErrorString());
    return true;
}

void ShowReportPreview(const TRecordReport &report, QWidget *parent)
{
    TReportPreview preview(report, parent);
    preview.exec();
}
