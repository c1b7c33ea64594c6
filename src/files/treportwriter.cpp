#include "treportwriter.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

// --- TReportWriter -----------------------------------------------------------------------------

TReportWriter::TReportWriter(const TPagedReport &report, QPagedPaintDevice &device)
    : Report_(report)
    , Device_(device)
{}

TReportWriter::~TReportWriter()
{
    End();
}

bool TReportWriter::Begin()
{
    Printable_ = TRecordReport::PrintableSize(Device_.pageLayout());
    PageCount_ = Report_.PageCount(Printable_);
    Written_ = 0;
    Failed_ = false;
    Painter_ = std::make_unique<QPainter>();
    if (!Painter_->begin(&Device_)) {
        Painter_.reset();
        Failed_ = true;
        return false;
    }
    ScaleX_ = Device_.logicalDpiX() / 96.0;
    ScaleY_ = Device_.logicalDpiY() / 96.0;
    return true;
}

bool TReportWriter::WriteNext()
{
    if (!Painter_ || !Painter_->isActive() || Failed_ || Written_ >= PageCount_)
        return false;
    if (Written_ > 0 && !Device_.newPage()) {
        Failed_ = true;
        return false;
    }
    Painter_->save();
    Painter_->scale(ScaleX_, ScaleY_);
    Report_.DrawPage(*Painter_, Written_, Printable_);
    Painter_->restore();
    ++Written_;
    return true;
}

bool TReportWriter::End()
{
    if (Painter_) {
        if (Painter_->isActive() && !Painter_->end())
            Failed_ = true;
        Painter_.reset();
    }
    return !Failed_;
}

// --- TReportPdfFile ----------------------------------------------------------------------------

TReportPdfFile::TReportPdfFile(const TPagedReport &report, const QString &fileName,
                               const QPageLayout &layout)
    : File_(fileName)
    , Layout_(layout)
    , Report_(report)
{}

TReportPdfFile::~TReportPdfFile()
{
    Cancel();
}

bool TReportPdfFile::Begin()
{
    if (!File_.open(QIODevice::WriteOnly)) {
        Error_ = File_.errorString();
        return false;
    }
    Pdf_ = std::make_unique<QPdfWriter>(&File_);
    Pdf_->setPageLayout(Layout_);
    Pdf_->setTitle(Report_.DocumentTitle());
    Pdf_->setCreator(QStringLiteral("Lumetra"));
    Writer_ = std::make_unique<TReportWriter>(Report_, *Pdf_);
    if (!Writer_->Begin()) {
        Error_ = QStringLiteral("The PDF could not be started.");
        Cancel();
        return false;
    }
    return true;
}

bool TReportPdfFile::WriteNext()
{
    if (!Writer_ || !Writer_->WriteNext())
        return false;
    Written_ = Writer_->PagesWritten();
    return true;
}

bool TReportPdfFile::Commit()
{
    if (!Writer_) {
        if (Error_.isEmpty())
            Error_ = QStringLiteral("The PDF was not started.");
        return false;
    }
    const bool whole = Writer_->PagesWritten() == Writer_->PageCount();
    const bool ended = Writer_->End();
    Writer_.reset();
    Pdf_.reset(); // the writer's last bytes reach the file here
    if (!whole || !ended) {
        Error_ = QStringLiteral("The PDF could not be written.");
        File_.cancelWriting();
        return false;
    }
    if (!File_.commit()) {
        Error_ = File_.errorString();
        return false;
    }
    return true;
}

void TReportPdfFile::Cancel()
{
    Writer_.reset();
    Pdf_.reset();
    if (File_.isOpen())
        File_.cancelWriting();
}

int TReportPdfFile::PageCount() const
{
    return Writer_ ? Writer_->PageCount()
                   : Report_.PageCount(TRecordReport::PrintableSize(Layout_));
}

// --- whole reports -----------------------------------------------------------------------------

bool PrintReport(const TPagedReport &report, QPagedPaintDevice &device)
{
    TReportWriter writer(report, device);
    if (!writer.Begin())
        return false;
    while (writer.WriteNext()) {
    }
    return writer.End() && writer.PagesWritten() == writer.PageCount();
}

bool SaveReportPdf(const TPagedReport &report, const QString &fileName, const QPageLayout &layout,
                   QString *error)
{
    TReportPdfFile pdf(report, fileName, layout);
    bool ok = pdf.Begin();
    while (ok && pdf.WriteNext()) {
    }
    ok = ok && pdf.Commit();
    if (!ok && error)
        *error = pdf.ErrorString();
    return ok;
}
