// The record report: pages per second into a PDF file, the time the preview takes to open and
// to turn a page, and the memory a long PDF needs while it is written.
#include "benchsupport.h"
#include "recordedrows.h"

#include "trecordreport.h"
#include "trecordtable.h"
#include "treportpreview.h"
#include "treportwriter.h"

#include <QApplication>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

// One table for all the runs of one size: filling 100,000 rows is not what is measured.
TRecordTable &tableOf(qint64 rows)
{
    static std::map<qint64, std::unique_ptr<TRecordTable>> tables;
    auto &table = tables[rows];
    if (!table) {
        table = std::make_unique<TRecordTable>();
        fillRecorded(*table, rows);
    }
    return *table;
}

double heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd);
}

double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// The whole report into a PDF file, as the preview's button and the recorder write it.
void BM_PdfPages(benchmark::State &state)
{
    TRecordReport report;
    report.Prepare(tableOf(state.range(0)));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    int pages = 0;
    for (auto _ : state) {
        QString error;
        if (!SaveReportPdf(report, file, TRecordReport::DefaultPageLayout(), &error))
            state.SkipWithError(qPrintable(error));
        pages += report.Pages().Count();
    }
    state.SetItemsProcessed(pages);
    state.counters["pages"] = report.Pages().Count();
    state.counters["bytes_per_page"] = double(QFileInfo(file).size()) / report.Pages().Count();
}
BENCHMARK(BM_PdfPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the Print press to a preview on screen with its pages made: printer, dialog, every page
// laid out into the preview, the first paint.
void BM_PreviewOpen(benchmark::State &state)
{
    TRecordTable &table = tableOf(state.range(0));
    int pages = 0;
    double held = 0;
    for (auto _ : state) {
        const double heap0 = heapBytes();
        TRecordReport report;
        report.Prepare(table);
        auto preview = std::make_unique<TReportPreview>(report, nullptr);
        preview->show();
        QCoreApplication::processEvents();
        auto *view = preview->findChild<QPrintPreviewWidget *>();
        pages = view ? view->pageCount() : 0;
        preview->grab(); // the first picture a user sees
        state.PauseTiming();
        held = heapBytes() - heap0;
        preview.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
    // Qt's preview keeps every page it has made, as a recorded picture, while it is open.
    state.counters["heap_open_MB"] = held / 1e6;
}
BENCHMARK(BM_PreviewOpen)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Paging through the open preview: the next page and its repaint.
void BM_PreviewPageTurn(benchmark::State &state)
{
    TRecordReport report;
    report.Prepare(tableOf(state.range(0)));
    TReportPreview preview(report, nullptr);
    preview.show();
    QCoreApplication::processEvents();
    auto *view = preview.findChild<QPrintPreviewWidget *>();
    if (!view || view->pageCount() < 2) {
        state.SkipWithError("no pages");
        return;
    }
    int page = 1;
    for (auto _ : state) {
        page = page % view->pageCount() + 1;
        view->setCurrentPage(page);
        QCoreApplication::processEvents();
        view->grab();
    }
}
BENCHMARK(BM_PreviewPageTurn)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Memory while a long PDF is written page by page, above what the table and the prepared
// report already hold: it must not grow with the pages.
void BM_PdfMemory(benchmark::State &state)
{
    TRecordTable &table = tableOf(state.range(0));
    QTemporaryDir dir;
    double heapPeak = 0, residentPeak = 0, heapAtHalf = 0;
    int pages = 0;
    for (auto _ : state) {
        TRecordReport report;
        report.Prepare(table);
        malloc_trim(0);
        const double heap0 = heapBytes();
        const double resident0 = residentBytes();
        TReportPdfFile pdf(report, dir.filePath(QStringLiteral("long.pdf")));
        if (!pdf.Begin()) {
            state.SkipWithError(qPrintable(pdf.ErrorString()));
            return;
        }
        pages = pdf.PageCount();
        while (pdf.WriteNext()) {
            const double heap = heapBytes() - heap0;
            heapPeak = std::max(heapPeak, heap);
            if (pdf.PagesWritten() == pages / 2)
                heapAtHalf = heap;
            if (pdf.PagesWritten() % 16 == 0)
                residentPeak = std::max(residentPeak, residentBytes() - resident0);
        }
        if (!pdf.Commit())
            state.SkipWithError(qPrintable(pdf.ErrorString()));
    }
    state.SetItemsProcessed(qint64(pages) * state.iterations());
    state.counters["pages"] = pages;
    state.counters["heap_peak_MB"] = heapPeak / 1e6;
    state.counters["heap_at_half_MB"] = heapAtHalf / 1e6;
    state.counters["rss_peak_MB"] = residentPeak / 1e6;
}
BENCHMARK(BM_PdfMemory)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runGuiBenchmarks(argc, argv);
}
