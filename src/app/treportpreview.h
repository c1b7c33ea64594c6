#pragma once

#include <QPrintPreviewDialog>
#include <QPrinter>

#include <memory>

class QAction;
class TRecordReport;

// The report's modal preview: Qt's print preview (printing, page setup, zoom, paging), opened
// maximised at 100 %, with one more tool-bar button that saves the prepared report as PDF.
// Every page it shows, prints or saves is the same prepared report.
class TReportPreview : public QPrintPreviewDialog
{
    Q_OBJECT
public:
    // The printer starts on the report's own page: A4 portrait with its margins.
    TReportPreview(const TRecordReport &report, QWidget *parent);
    ~TReportPreview() override;

    // Asks for a file name and saves the report there as PDF.
    void SaveAsPdf();
    // Saves the report as PDF, with a progress bar and Cancel for a long one; a failure is
    // told to the user. True when the file was written.
    bool WritePdf(const QString &fileName);

    QAction *actSavePdf = nullptr;

private:
    TReportPreview(const TRecordReport &report, std::unique_ptr<QPrinter> printer, QWidget *parent);

    const TRecordReport &Report_;
    std::unique_ptr<QPrinter> Printer_;
};

// Shows the report in its modal preview; returns when the user has closed it.
void ShowReportPreview(const TRecordReport &report, QWidget *parent);
