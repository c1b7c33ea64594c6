// Record files at a million rows: saving and opening in each form, the table's bytes a row
// after an open, the longest the event loop waits while a save or an open runs beside it, and,
// in the same run on the same files, Python's csv and ElementTree doing the same work.
//
//   bench_files [rows] [repetitions]      (1,000,000 rows, 3 repetitions by default)
//
// A plain program: it measures wall time, and takes the median of the repetitions.
#include "recordedrows.h"

#include "trecordfilejob.h"
#include "trecordfiles.h"
#include "trecordtable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#ifndef Q_OS_WIN
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace {

// The bytes malloc has handed out; Windows keeps no such count for the C heap (its private
// bytes are pages, which a freed table leaves committed), so there the figure is left out.
std::size_t heapInUse()
{
#ifdef Q_OS_WIN
    return 0;
#else
    return mallinfo2().uordblks;
#endif
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

// The same four operations in Python, timed around the call alone, on our files.
const char *const PythonScript = R"(
import csv, statistics, sys, time, xml.etree.ElementTree as ET
text, xml, reps = sys.argv[1], sys.argv[2], int(sys.argv[3])
def timed(f):
    runs = []
    for _ in range(reps):
        t = time.perf_counter(); f(); runs.append(time.perf_counter() - t)
    return statistics.median(runs)
rows = []
def read_csv():
    global rows
    with open(text, newline='') as f:
        rows = list(csv.reader(f, delimiter='\t'))
def write_csv():
    with open(text + '.py', 'w', newline='') as f:
        csv.writer(f, delimiter='\t', lineterminator='\r\n').writerows(rows)
tree = None
def parse_xml():
    global tree
    tree = ET.parse(xml)
def write_xml():
    tree.write(xml + '.py', encoding='utf-8', xml_declaration=True)
print('csv.reader', timed(read_csv))
print('csv.writer', timed(write_csv))
print('ElementTree.parse', timed(parse_xml))
print('ElementTree.write', timed(write_xml))
)";

std::map<QString, double> runPython(const QString &text, const QString &xml, int reps)
{
    std::map<QString, double> times;
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return times;
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromUtf8(PythonScript), text, xml,
                     QString::number(reps)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "python3 failed: %s\n", p.readAllStandardError().constData());
        return times;
    }
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            times[QString::fromUtf8(parts[0])] = parts[1].toDouble();
    }
    return times;
}

// The longest time between two passes of the event loop while the job runs.
double longestStall(TRecordFileJob &job)
{
    QElapsedTimer clock;
    double worst = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
    });
    QEventLoop loop;
    QObject::connect(&job, &TRecordFileJob::Finished, &loop, &QEventLoop::quit);
    clock.start();
    tick.start();
    job.Start();
    if (!job.IsFinished())
        loop.exec();
    return worst;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1'000'000;
    const int reps = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("rec.txt"));
    const QString xml = dir.filePath(QStringLiteral("rec.xml"));

    TRecordTable table;
    fillRecorded(table, rows);
    std::printf("%lld recorded rows, %d repetitions, median wall time\n\n", qlonglong(rows), reps);

    std::vector<double> saveText, saveXml, openText, openXml;
    double textBytesPerRow = 0, xmlBytesPerRow = 0, textHeapPerRow = 0, xmlHeapPerRow = 0;
    for (int r = 0; r < reps; ++r) {
        saveText.push_back(seconds([&] { DBToFiles(table, text); }));
        saveXml.push_back(seconds([&] { DBToFiles(table, xml); }));
        for (bool isXml : {false, true}) {
            const std::size_t heapBefore = heapInUse();
            TRecordTable opened;
            TOpenOutcome outcome;
            const double s =
                seconds([&] { outcome = AnyToCds(isXml ? xml : text, opened, false); });
            if (!outcome.Ok || opened.RecordCount() != rows) {
                std::fprintf(stderr, "open failed: %s\n", qPrintable(outcome.Error));
                return 1;
            }
            const double own = double(opened.MemoryUsage()) / double(rows);
            const double heap = double(heapInUse() - heapBefore) / double(rows);
            (isXml ? openXml : openText).push_back(s);
            (isXml ? xmlBytesPerRow : textBytesPerRow) = own;
            (isXml ? xmlHeapPerRow : textHeapPerRow) = heap;
        }
    }

    const std::map<QString, double> py = runPython(text, xml, reps);
    auto line = [&](const char *what, double ours, const char *theirs) {
        const auto it = py.find(QLatin1String(theirs));
        if (it == py.end()) {
            std::printf("| %-14s | %7.3f s | %-17s | %9s | %8s |\n", what, ours, theirs, "-", "-");
            return;
        }
        std::printf("| %-14s | %7.3f s | %-17s | %7.3f s | %8.2f |\n", what, ours, theirs,
                    it->second, ours / it->second);
    };
    std::printf("| %-14s | %9s | %-17s | %9s | %8s |\n", "operation", "ours", "Python", "Python",
                "ratio");
    std::printf("|----------------|-----------|-------------------|-----------|----------|\n");
    line("save text", median(saveText), "csv.writer");
    line("open text", median(openText), "csv.reader");
    line("save XML", median(saveXml), "ElementTree.write");
    line("open XML", median(openXml), "ElementTree.parse");
    if (py.empty())
        std::printf("(python3 not found: no comparison)\n");
    std::printf("\nfiles: text %.1f MB, XML %.1f MB\n", QFileInfo(text).size() / 1e6,
                QFileInfo(xml).size() / 1e6);
#ifdef Q_OS_WIN
    (void)textHeapPerRow;
    (void)xmlHeapPerRow;
    std::printf("table after opening: text %.1f, XML %.1f bytes a row (own buffers)\n",
                textBytesPerRow, xmlBytesPerRow);
#else
    std::printf("table after opening: text %.1f, XML %.1f bytes a row (own buffers); "
                "%.1f, %.1f (allocator delta)\n",
                textBytesPerRow, xmlBytesPerRow, textHeapPerRow, xmlHeapPerRow);
#endif

    // Beside the event loop, as the window runs them.
    for (const QString &path : {text, xml}) {
        TRecordSaveJob save(table, path);
        const double saveStall = longestStall(save);
        TRecordTable target;
        TRecordOpenJob open(target, path, false);
        const double openStall = longestStall(open);
        std::printf("%s beside the event loop: longest wait %.1f ms saving, %.1f ms opening "
                    "(the block append at the end)\n",
                    path.endsWith(QLatin1String(".xml")) ? "XML" : "text", saveStall, openStall);
    }
    return 0;
}
