#pragma once

#include "tpagedreport.h"
#include "trecordreport.h"
#include "tsavefile.h"

#include <QPageLayout>
#include <QSizeF>
#include <QString>

#include <memory>

class QPagedPaintDevice;
class QPainter;
class QPdfWriter;

// Writes a prepared report onto a device page after page, so a caller can let its event loop
// run between pages (a progress bar, a Cancel button) instead of waiting for the whole report.
// Each page is drawn and handed to the device before the next is made.
class TReportWriter
{
public:
    TReportWriter(const TPagedReport &report, QPagedPaintDevice &device);
    ~TReportWriter();
    TReportWriter(const TReportWriter &) = delete;
    TReportWriter &operator=(const TReportWriter &) = delete;

    // Starts painting, in the device's own page layout; false when it cannot be painted on.
    bool Begin();
    // Writes the next page; false when every page has been written or the device failed.
    bool WriteNext();
    // Finishes the output; false when the device failed on the way.
    bool End();

    int PageCount() const { return PageCount_; }
    int PagesWritten() const { return Written_; }
    bool Failed() const { return Failed_; }

private:
    const TPagedReport &Report_;
    QPagedPaintDevice &Device_;
    std::unique_ptr<QPainter> Painter_;
    int PageCount_ = 0;
    QSizeF Printable_;
    double ScaleX_ = 1;
    double ScaleY_ = 1;
    int Written_ = 0;
    bool Failed_ = false;
};

// A report on its way into a PDF file. The pages go to a file beside the target, which takes
// the target's place only when Commit succeeds: a full disk, a Cancel or a crash half-way leaves
// the file that was there before, not half a report.
class TReportPdfFile
{
public:
    TReportPdfFile(const TPagedReport &report, const QString &fileName,
                   const QPageLayout &layout = TRecordReport::DefaultPageLayout());
    ~TReportPdfFile();
    TReportPdfFile(const TReportPdfFile &) = delete;
    TReportPdfFile &operator=(const TReportPdfFile &) = delete;

    bool Begin();
    bool WriteNext();
    bool Commit();
    void Cancel();

    int PageCount() const;
    int PagesWritten() const { return Written_; }
    // Why Begin or Commit failed, for the user.
    const QString &ErrorString() const { return Error_; }

private:
    TSaveFile File_;
    QPageLayout Layout_;
    std::unique_ptr<QPdfWriter> Pdf_;
    std::unique_ptr<TReportWriter> Writer_;
    const TPagedReport &Report_;
    int Written_ = 0;
    QString Error_;
};

// Every page of the report onto the device; false when it cannot be painted on or failed.
bool PrintReport(const TPagedReport &report, QPagedPaintDevice &device);
// The whole report as a PDF file; on failure the target is untouched and *error says why.
bool SaveReportPdf(const TPagedReport &report, const QString &fileName, const QPageLayout &layout,
                   QString *error);
