// The parts tools of the window: the statistics window following the record table, its scope
// and nominal, the summary PDF, and "One reading per part" taking the place of the record
// choices.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/pdftools.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tfrmstatistics.h"
#include "thistogramview.h"
#include "tpagedchart.h"
#include "trecordtable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace ModalHelper;

namespace {

// Capacitances in hundredths of a nanofarad: 100.00, 100.10, 99.90 and 100.50 nF.
constexpr int Batch[] = {10000, 10010, 9990, 10050};

TFrameFields reading(int hundredthsNf)
{
    TFrameFields f = workedFields();
    f.Auto = false;
    f.Battery = 0;
    f.MainValue = hundredthsNf;
    f.MainDecimals = 2;
    return f;
}

// A 4.7 kOhm resistor, in thousandths of a kiloohm.
TFrameFields resistor(int thousandthsKOhm)
{
    TFrameFields f = reading(0);
    f.MainMode = 3;
    f.MainUnit = 2;
    f.MainValue = thousandthsKOhm;
    f.MainDecimals = 3;
    return f;
}

QString cell(const QTableWidget *t, int row, int column)
{
    const QTableWidgetItem *item = t->item(row, column);
    return item ? item->text() : QString();
}

QString figure(const QTableWidget *t, const QString &label)
{
    for (int r = 0; r < t->rowCount(); ++r)
        if (cell(t, r, 0) == label)
            return cell(t, r, 1);
    return QString();
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menusOfferThePartsTools();
    void figuresFollowTheTable();
    void scopeAndNominal_data();
    void scopeAndNominal();
    void nominalBelongsToItsQuantity();
    void matchedSetSelectsItsRows();
    void perPartTakesThePlaceOfTheRecordChoices_data();
    void perPartTakesThePlaceOfTheRecordChoices();
    void summaryPdf_data();
    void summaryPdf();

private:
    void sendBatch()
    {
        for (const int v : Batch)
            receive(*w, EncodeFrame(reading(v)));
        QCOMPARE(w->Session()->Table().RecordCount(), qsizetype(std::size(Batch)));
    }
    TfrmStatistics *openStatistics()
    {
        QTest::keySequence(w, QKeySequence(Qt::CTRL | Qt::Key_T));
        return w->Statistics_;
    }

    QTemporaryDir state_;
    TfrmMain *w = nullptr;
};

void TestStatistics::initTestCase()
{
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
}

void TestStatistics::init()
{
    w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestStatistics::cleanup()
{
    delete w;
    w = nullptr;
}

void TestStatistics::menusOfferThePartsTools()
{
    QStringList grid;
    for (const QAction *a : w->Panel4->DBGrid1->actions())
        grid << a->text();
    QCOMPARE(grid, QStringList({"One reading per part", "Statistics"}));
    QVERIFY(w->actPerPart->isCheckable());
    QCOMPARE(w->pnlChartParent->Chart1->actions(),
             QList<QAction *>({w->actStatistics, w->actTrend}));
    QCOMPARE(w->Panel4->DBGrid1->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(w->pnlChartParent->Chart1->contextMenuPolicy(), Qt::ActionsContextMenu);
}

void TestStatistics::figuresFollowTheTable()
{
    TfrmStatistics *s = openStatistics();
    QVERIFY(s);
    QVERIFY(s->isVisible());
    QCOMPARE(s->windowTitle(), QStringLiteral("Statistics"));
    QVERIFY(!s->isModal());
    QVERIFY(!s->btnSaveSummary->isEnabled()); // nothing to sum up yet

    sendBatch();
    QTRY_COMPARE(figure(s->tblFigures, "Count"), QStringLiteral("4"));
    // Worked out apart from the window: two-pass mean and sample deviation.
    long double sum = 0;
    for (const int v : Batch)
        sum += v * 1e-11L;
    const long double mean = sum / std::size(Batch);
    long double sq = 0;
    for (const int v : Batch)
        sq += (v * 1e-11L - mean) * (v * 1e-11L - mean);
    const TGroupSummary &g = s->Summary().Groups.at(0);
    QCOMPARE(g.Count, 4);
    QVERIFY(qAbs(g.Mean - double(mean)) < 1e-20);
    QVERIFY(qAbs(g.Sd - double(std::sqrt(sq / 3))) < 1e-20);
    QCOMPARE(g.Min, 99.9e-9);
    QCOMPARE(g.Max, 100.5e-9);
    QVERIFY(s->cbbGroup->currentText().startsWith(QStringLiteral("Cs [F]")));
    QVERIFY(s->btnSaveSummary->isEnabled());
    QVERIFY(!s->chtHistogram->picture().empty());

    // Clearing the table clears the figures; a second Ctrl+T brings back the same window.
    w->Session()->Clear();
    QTRY_COMPARE(s->Summary().Rows, 0);
    QCOMPARE(s->tblFigures->rowCount(), 0);
    QCOMPARE(openStatistics(), s);
}

void TestStatistics::scopeAndNominal_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("nominal");
    QTest::addColumn<int>("count");
    // Counts of the classes 0.5, 1, 2, 5, 10, 20 %, below and above.
    QTest::addColumn<QList<int>>("classes");
    // 100 nF is within 0.5 % of all four; 101 nF puts them at -0.99, -0.89, -1.09, -0.50 %.
    QTest::newRow("all, 100n") << false << QList<int>{} << "100n" << 4
                               << QList<int>{4, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("all, 101n") << false << QList<int>{} << "101n" << 4
                               << QList<int>{1, 2, 1, 0, 0, 0, 0, 0};
    QTest::newRow("selected 1 and 4, 101n")
        << true << QList<int>{0, 3} << "101n" << 2 << QList<int>{1, 1, 0, 0, 0, 0, 0, 0};
    QTest::newRow("selected 3, 100n")
        << true << QList<int>{2} << "100n" << 1 << QList<int>{1, 0, 0, 0, 0, 0, 0, 0};
}

void TestStatistics::scopeAndNominal()
{
    QFETCH(bool, selected);
    QFETCH(QList<int>, rows);
    QFETCH(QString, nominal);
    QFETCH(int, count);
    QFETCH(QList<int>, classes);
    sendBatch();
    TfrmStatistics *s = openStatistics();
    QTableView *grid = w->Panel4->DBGrid1;
    grid->clearSelection();
    for (const int r : rows)
        grid->selectionModel()->select(grid->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    s->cbbScope->setCurrentIndex(selected ? 1 : 0);
    s->edtNominal->setText(nominal);
    emit s->edtNominal->editingFinished();
    // The summary is worked out away from the window: wait for the one with the typed nominal.
    QTRY_COMPARE(figure(s->tblFigures, "Nominal"), nominal.chopped(1) + QStringLiteral(" nF"));
    QTRY_COMPARE(figure(s->tblFigures, "Count"), QString::number(count));
    QCOMPARE(s->tblClasses->rowCount(), classes.size());
    for (int i = 0; i < classes.size(); ++i)
        QCOMPARE(cell(s->tblClasses, i, 1), QString::number(classes[i]));
}

void TestStatistics::nominalBelongsToItsQuantity()
{
    sendBatch();
    for (const int v : {4701, 4699})
        receive(*w, EncodeFrame(resistor(v)));
    TfrmStatistics *s = openStatistics();
    QTRY_COMPARE(s->cbbGroup->count(), 2);
    const auto choose = [&](const char *group) {
        const int i = s->cbbGroup->findText(QLatin1String(group), Qt::MatchStartsWith);
        QVERIFY(i >= 0);
        s->cbbGroup->setCurrentIndex(i);
    };
    const auto type = [&](const QString &text) {
        s->edtNominal->setText(text);
        emit s->edtNominal->editingFinished();
    };
    choose("Cs [F]");
    type("100n");
    QTRY_COMPARE(figure(s->tblFigures, "Nominal"), QStringLiteral("100 nF"));
    // The resistors keep their own nominal, and their classes count against it.
    choose("Rs [Ohm]");
    QCOMPARE(s->edtNominal->text(), QString());
    QTRY_COMPARE(figure(s->tblFigures, "Nominal"),
                 QStringLiteral("4.7 kOhm (E12, nearest the median)"));
    QCOMPARE(cell(s->tblClasses, 0, 1), QStringLiteral("2")); // both within 0.5 %
    // A unit of other parts is no nominal for these.
    type("100nF");
    QVERIFY(!s->edtNominal->styleSheet().isEmpty());
    type("4.75k");
    QVERIFY(s->edtNominal->styleSheet().isEmpty());
    QTRY_COMPARE(figure(s->tblFigures, "Nominal"), QStringLiteral("4.75 kOhm"));
    choose("Cs [F]");
    QCOMPARE(s->edtNominal->text(), QStringLiteral("100n"));
    QTRY_COMPARE(figure(s->tblFigures, "Nominal"), QStringLiteral("100 nF"));

    // The summary page says the same, a page per group.
    QTemporaryDir dir;
    const QString file = dir.filePath("two.pdf");
    QSignalSpy done(s, &TfrmStatistics::SummarySaved);
    typeFileNameOnNextModal(file);
    QTest::mouseClick(s->btnSaveSummary, Qt::LeftButton);
    QVERIFY(done.count() || done.wait(10000));
    QCOMPARE(PdfTools::pageCount(file), 2);
    const QString capacitors = PdfTools::pageText(file, 1).simplified();
    const QString resistors = PdfTools::pageText(file, 2).simplified();
    QVERIFY2(capacitors.contains("Nominal 100 nF"), qPrintable(capacitors));
    QVERIFY2(resistors.contains("Nominal 4.75 kOhm"), qPrintable(resistors));
    QVERIFY2(!resistors.contains("nOhm"), qPrintable(resistors));
}

void TestStatistics::matchedSetSelectsItsRows()
{
    sendBatch();
    // Opened again: each reading twice in the table, under the same number.
    TRecordTable &table = w->Session()->Table();
    TRecordTable copy;
    copy.AppendRows(table);
    table.AppendRows(copy);
    TfrmStatistics *s = openStatistics();
    QTRY_COMPARE(figure(s->tblFigures, "Count"), QStringLiteral("8"));
    // Each reading with its copy, the lowest first: the list names the grid's rows and the
    // number they share.
    QTRY_VERIFY(s->lstSets->count() > 0 && s->lstSets->item(0)->text().startsWith("Rows "));
    QListWidgetItem *first = s->lstSets->item(0);
    QVERIFY2(first->text().startsWith(QStringLiteral("Rows 3, 7 (record 3): spread 0.000 %")),
             qPrintable(first->text()));
    QTest::mouseClick(s->lstSets->viewport(), Qt::LeftButton, {},
                      s->lstSets->visualItemRect(first).center());
    QCOMPARE(w->Panel4->SelectedRows(), (std::vector<qsizetype>{2, 6}));
}

void TestStatistics::perPartTakesThePlaceOfTheRecordChoices_data()
{
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("interval");
    QTest::newRow("repeat") << true << false;
    QTest::newRow("on change") << false << false;
    QTest::newRow("interval") << true << true;
}

void TestStatistics::perPartTakesThePlaceOfTheRecordChoices()
{
    QFETCH(bool, repeat);
    QFETCH(bool, interval);
    QCheckBox *cbRepeat = w->Panel4->cbRepeat;
    QCheckBox *cbInterval = w->Panel4->cbInterval;
    cbRepeat->setChecked(repeat);
    cbInterval->setChecked(interval);
    QCOMPARE(cbRepeat->isChecked(), repeat);

    w->actPerPart->trigger();
    QCOMPARE(w->Session()->Mode().Kind, TRecordingMode::PerPart);
    QVERIFY(!cbRepeat->isChecked());
    QVERIFY(!cbInterval->isChecked());
    QVERIFY(!cbRepeat->isEnabled());
    QVERIFY(!cbInterval->isEnabled());
    QVERIFY(!w->Panel4->edtRecInterval->isEnabled());
    // The same frame again and again is one part that has not settled yet: no row at once.
    receive(*w, EncodeFrame(reading(10000)));
    receive(*w, EncodeFrame(reading(10000)));
    QCOMPARE(w->Session()->Table().RecordCount(), 0);

    w->actPerPart->trigger();
    QCOMPARE(w->Session()->Mode().Repeat(), repeat);
    QCOMPARE(w->Session()->Mode().Samples(), interval);
    QCOMPARE(cbRepeat->isChecked(), repeat);
    QCOMPARE(cbInterval->isChecked(), interval);
    QVERIFY(cbRepeat->isEnabled() && cbInterval->isEnabled());
    QVERIFY(w->Panel4->edtRecInterval->isEnabled());
}

void TestStatistics::summaryPdf_data()
{
    QTest::addColumn<QString>("name"); // in the test's folder
    QTest::addColumn<bool>("saved");
    QTest::newRow("written") << "batch.pdf" << true;
    QTest::newRow("no such folder") << "missing/batch.pdf" << false;
}

void TestStatistics::summaryPdf()
{
    QFETCH(QString, name);
    QFETCH(bool, saved);
    QTemporaryDir dir;
    const QString file = dir.filePath(name);
    sendBatch();
    TfrmStatistics *s = openStatistics();
    QTRY_VERIFY(s->btnSaveSummary->isEnabled());
    QSignalSpy done(s, &TfrmStatistics::SummarySaved);
    typeFileNameOnNextModal(file);
    QString told;
    if (!saved)
        onNextModalWhere([](QWidget *m) { return !m->findChild<QLineEdit *>("fileNameEdit"); },
                         [&](QWidget *m) {
                             for (const QLabel *l : m->findChildren<QLabel *>())
                                 told += l->text();
                             m->close();
                         },
                         10000);
    QTest::mouseClick(s->btnSaveSummary, Qt::LeftButton);
    QVERIFY(done.count() || done.wait(10000));
    const QString error = done.at(0).at(1).toString();
    QCOMPARE(error.isEmpty(), saved);
    QCOMPARE(QFileInfo::exists(file), saved);
    if (saved) {
        const QString text = PdfTools::pageText(file, 1);
        QVERIFY2(text.contains(QStringLiteral("Count"))
                     && text.contains(QStringLiteral("100.125 nF")),
                 qPrintable(text));
        QCOMPARE(s->lblSaved->text(), QStringLiteral("Summary saved to batch.pdf"));
        // The page's histogram says what the window's says.
        const THistogramPicture &shown = s->chtHistogram->picture();
        QCOMPARE(shown.ValueTitle, QStringLiteral("Readings 99.9 nF to 100.5 nF"));
        QVERIFY2(text.contains(shown.ValueTitle), qPrintable(text));
        QStringList labels;
        for (const THistogramPainter::TLabel &l : s->chtHistogram->currentLayout().ValueLabels)
            labels << l.Text;
        QVERIFY2(labels.contains(QStringLiteral("nominal")), qPrintable(labels.join('|')));
        QVERIFY2(text.contains(QStringLiteral("nominal")), qPrintable(text));
    } else {
        QTRY_VERIFY(told.contains(file));
        QVERIFY(told.contains(error));
    }
}

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
