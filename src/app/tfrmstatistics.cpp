#include "tfrmstatistics.h"

#include "newmessagedlg.h"
#include "tfiledialog.h"
#include "thistogramview.h"
#include "tlivestatistics.h"
#include "tpooltask.h"
#include "trecordtable.h"
#include "tsummaryhistogram.h"
#include "tsummaryreport.h"
#include "ttoplevel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int SeriesChoices[] = {6, 12, 24, 48, 96, 192};

QTableWidget *NewTable(const QStringList &titles, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(titles.size()), parent);
    t->setHorizontalHeaderLabels(titles);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    // Tall enough for every figure and every class (six classes, below, above) without scrolling.
    t->setMinimumHeight(t->horizontalHeader()->sizeHint().height()
                        + 8 * t->verticalHeader()->defaultSectionSize() + 2 * t->frameWidth() + 2);
    return t;
}

void FillTable(QTableWidget *t, const QList<QStringList> &rows)
{
    t->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()) && c < t->columnCount(); ++c) {
            QTableWidgetItem *item = t->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                t->setItem(r, c, item);
            }
            item->setText(rows[r][c]);
        }
}

} // namespace

TfrmStatistics::TfrmStatistics(const TRecordTable &table, const QByteArray &decimalSep,
                               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Table_(table)
    , DecimalSep_(decimalSep)
{
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("Statistics"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *options = new QHBoxLayout;
    lblRows = new QLabel(this);
    cbbScope = new QComboBox(this);
    cbbScope->addItems({QStringLiteral("All rows"), QStringLiteral("Selected rows")});
    edtNominal = new QLineEdit(this);
    edtNominal->setPlaceholderText(QStringLiteral("auto"));
    edtNominal->setToolTip(QStringLiteral("The nominal value (100n, 4.7k, 470u, 2m2); empty: the "
                                          "value of the series nearest the median"));
    cbbSeries = new QComboBox(this);
    for (const int s : SeriesChoices)
        cbbSeries->addItem(QStringLiteral("E%1").arg(s), s);
    const TSummaryOptions defaults;
    cbbSeries->setCurrentIndex(cbbSeries->findData(defaults.Series));
    spnMatch = new QSpinBox(this);
    spnMatch->setRange(2, 20);
    spnMatch->setValue(defaults.MatchSize);
    spnMatch->setPrefix(QStringLiteral("sets of "));
    spnWithin = new QDoubleSpinBox(this);
    spnWithin->setRange(0.01, 50);
    spnWithin->setDecimals(2);
    spnWithin->setSingleStep(0.1);
    spnWithin->setValue(defaults.MatchWithinPercent);
    spnWithin->setPrefix(QStringLiteral("within "));
    spnWithin->setSuffix(QStringLiteral(" %"));
    options->addWidget(cbbScope);
    options->addWidget(new QLabel(QStringLiteral("Nominal:"), this));
    options->addWidget(edtNominal, 1);
    options->addWidget(cbbSeries);
    options->addWidget(new QLabel(QStringLiteral("Match:"), this));
    options->addWidget(spnMatch);
    options->addWidget(spnWithin);

    auto *groupRow = new QHBoxLayout;
    cbbGroup = new QComboBox(this);
    cbbGroup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    groupRow->addWidget(new QLabel(QStringLiteral("Parts:"), this));
    groupRow->addWidget(cbbGroup);
    groupRow->addWidget(lblRows, 1);

    tblFigures = NewTable({QStringLiteral("Figure"), QStringLiteral("Value")}, this);
    tblClasses =
        NewTable({QStringLiteral("Class"), QStringLiteral("Count"), QStringLiteral("Share")}, this);
    auto *tables = new QSplitter(Qt::Horizontal, this);
    tables->addWidget(tblFigures);
    tables->addWidget(tblClasses);

    chtHistogram = new THistogramView(this);
    chtHistogram->setObjectName(QStringLiteral("chtHistogram"));
    chtHistogram->setMinimumHeight(220);

    lstSets = new QListWidget(this);
    lstSets->setMaximumHeight(110);

    btnSaveSummary = new QPushButton(QStringLiteral("Save summary as PDF..."), this);
    lblSaved = new QLabel(this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblSaved, 1);
    buttons->addWidget(btnSaveSummary);

    auto *l = new QVBoxLayout(this);
    l->addLayout(options);
    l->addLayout(groupRow);
    l->addWidget(tables, 2);
    l->addWidget(chtHistogram, 3);
    l->addWidget(new QLabel(QStringLiteral("Matched sets, tightest first:"), this));
    l->addWidget(lstSets, 1);
    l->addLayout(buttons);
    resize(620, 640);

    SaveDialog =
        new TFileDialog(TFileDialog::TKind::Save, QStringLiteral("SaveSummaryDialog"), this);
    SaveDialog->Filter = QStringLiteral("PDF files (*.pdf)|*.pdf");
    SaveDialog->DefaultExt = QStringLiteral("pdf");

    Live_ = new TLiveStatistics(table, decimalSep, this);
    SelectionDelay_ = new QTimer(this);
    SelectionDelay_->setSingleShot(true);
    SelectionDelay_->setInterval(TLiveStatistics::MinIntervalMs);
    connect(SelectionDelay_, &QTimer::timeout, this, &TfrmStatistics::selectionChanged);
    SelectedJob_ = new TSummaryJob(this);
    connect(SelectedJob_, &TSummaryJob::Done, this,
            [this](std::shared_ptr<const TPartSummary> summary) {
                SelectedSummary_ = std::move(summary);
                if (cbbScope->currentIndex() == 1)
                    showSummary();
            });
    connect(Live_, &TLiveStatistics::Changed, this, [this] {
        if (cbbScope->currentIndex() == 0)
            showSummary();
    });
    connect(cbbScope, &QComboBox::currentIndexChanged, this, &TfrmStatistics::optionsChanged);
    connect(edtNominal, &QLineEdit::editingFinished, this, &TfrmStatistics::optionsChanged);
    connect(cbbSeries, &QComboBox::currentIndexChanged, this, &TfrmStatistics::optionsChanged);
    connect(spnMatch, &QSpinBox::valueChanged, this, &TfrmStatistics::optionsChanged);
    connect(spnWithin, &QDoubleSpinBox::valueChanged, this, &TfrmStatistics::optionsChanged);
    connect(cbbGroup, &QComboBox::currentIndexChanged, this, &TfrmStatistics::showGroup);
    connect(btnSaveSummary, &QPushButton::clicked, this, &TfrmStatistics::btnSaveSummaryClick);
    // The controls start at the summary's defaults, which the live statistics already worked
    // out once: shown at once, without waiting for a job.
    showSummary();
}

TfrmStatistics::~TfrmStatistics() = default;

TSummaryOptions TfrmStatistics::Options() const
{
    TSummaryOptions o = Live_->Options();
    o.Nominal = ParseNominal(edtNominal->text().trimmed());
    o.Series = cbbSeries->currentData().toInt();
    o.MatchSize = spnMatch->value();
    o.MatchWithinPercent = spnWithin->value();
    return o;
}

void TfrmStatistics::optionsChanged()
{
    // A nominal that does not parse is shown as such rather than silently taken as "none".
    const QString typed = edtNominal->text().trimmed();
    const bool bad = !typed.isEmpty() && !ParseNominal(typed);
    edtNominal->setStyleSheet(bad ? QStringLiteral("color: #b00000") : QString());
    Live_->SetOptions(Options()); // shows the whole table's figures through Changed
    if (cbbScope->currentIndex() == 1)
        selectionChanged();
}

void TfrmStatistics::SetSelectedRows(std::vector<qsizetype> rows)
{
    Selected_ = std::move(rows);
    std::sort(Selected_.begin(), Selected_.end());
    // A drag over many rows changes the selection on every row it passes.
    if (cbbScope->currentIndex() == 1)
        SelectionDelay_->start();
}

void TfrmStatistics::selectionChanged()
{
    TPartStatistics stats(DecimalSep_);
    std::vector<qsizetype> rows;
    rows.reserve(Selected_.size());
    for (const qsizetype r : Selected_)
        if (r >= 0 && r < Table_.RecordCount())
            rows.push_back(r);
    stats.AddRows(Table_, rows);
    SelectedJob_->Start(stats, Options());
}

void TfrmStatistics::showSummary()
{
    Shown_ = cbbScope->currentIndex() == 0 ? Live_->SharedSummary() : SelectedSummary_;
    lblRows->setText(QStringLiteral("Rows: %1    Not a number: %2")
                         .arg(Shown_->Rows)
                         .arg(Shown_->NonNumberRows));
    // The group chosen stays chosen while rows arrive, though the largest group comes first.
    const QString current = cbbGroup->currentData().toString();
    QStringList names;
    for (const TGroupSummary &g : Shown_->Groups)
        names << GroupTitle(g);
    const QSignalBlocker block(cbbGroup);
    bool same = cbbGroup->count() == names.size();
    for (int i = 0; same && i < names.size(); ++i)
        same = cbbGroup->itemData(i).toString() == names[i];
    if (!same) {
        cbbGroup->clear();
        for (int i = 0; i < names.size(); ++i)
            cbbGroup->addItem(names[i], names[i]);
        cbbGroup->setCurrentIndex(std::max<int>(0, int(names.indexOf(current))));
    }
    for (int i = 0; i < names.size(); ++i)
        cbbGroup->setItemText(
            i,
            QStringLiteral("%1: %2 parts").arg(names[i]).arg(Shown_->Groups[std::size_t(i)].Count));
    btnSaveSummary->setEnabled(!Saving_ && Shown_->Rows > 0);
    showGroup();
}

void TfrmStatistics::showGroup()
{
    const int i = cbbGroup->currentIndex();
    if (i < 0 || i >= int(Shown_->Groups.size())) {
        FillTable(tblFigures, {});
        FillTable(tblClasses, {});
        lstSets->clear();
        showHistogram(TGroupSummary{});
        return;
    }
    const TGroupSummary &g = Shown_->Groups[std::size_t(i)];
    QList<QStringList> figures;
    for (const auto &[label, text] : GroupFigures(g, QStringLiteral(", nearest the median")))
        figures.append({label, text});
    FillTable(tblFigures, figures);
    QList<QStringList> classes;
    for (int c = 0; c < int(g.ClassCounts.size()); ++c)
        classes.append(ClassRow(*Shown_, g, c, QStringLiteral("\u00B1")));
    FillTable(tblClasses, classes);
    lstSets->clear();
    // The tightest ones: a big batch has as many sets as half its parts, more than anyone reads
    // and, as list items, more than the window can lay out a few times a second.
    const std::size_t shown = std::min<std::size_t>(g.Sets.size(), MaxSetsShown);
    for (std::size_t k = 0; k < shown; ++k) {
        const TMatchedSet &set = g.Sets[k];
        lstSets->addItem(QStringLiteral("Records %1: spread %2, mean %3")
                             .arg(RecordsText(set), PercentText(set.SpreadPercent),
                                  FormatSi(set.Mean, g.Kind, 5)));
    }
    if (g.Sets.size() > shown)
        lstSets->addItem(QStringLiteral("... and %1 more").arg(g.Sets.size() - shown));
    if (g.Sets.empty())
        lstSets->addItem(QStringLiteral("None"));
    showHistogram(g);
}

void TfrmStatistics::showHistogram(const TGroupSummary &g)
{
    chtHistogram->setPicture(SummaryHistogram(*Shown_, g));
}

void TfrmStatistics::btnSaveSummaryClick()
{
    if (Saving_ || !SaveDialog->Execute(this))
        return;
    Saving_ = true;
    btnSaveSummary->setEnabled(false);
    lblSaved->setText(QStringLiteral("Saving %1").arg(QFileInfo(SaveDialog->FileName).fileName()));
    // The page is drawn and written away from the window's thread: a slow disk never holds
    // the window, and the rows go on arriving meanwhile.
    const QString fileName = SaveDialog->FileName;
    RunOnPool<std::shared_ptr<const TPartSummary>, QString>(
        Shown_,
        [fileName](const std::shared_ptr<const TPartSummary> &summary) {
            QString error;
            SaveSummaryPdf(*summary, fileName, &error);
            return error;
        },
        Alive_, [this, fileName](QString error) { summarySaved(fileName, error); });
}

void TfrmStatistics::summarySaved(const QString &fileName, const QString &error)
{
    Saving_ = false;
    btnSaveSummary->setEnabled(Shown_->Rows > 0);
    lblSaved->setText(
        error.isEmpty() ? QStringLiteral("Summary saved to %1").arg(QFileInfo(fileName).fileName())
                        : QString());
    emit SummarySaved(fileName, error);
    if (!error.isEmpty())
        NewMessageDlg(
            QStringLiteral("The summary could not be saved to %1: %2").arg(fileName, error),
            mtError, MsgDlgButtons({mbOK}), 0);
}
