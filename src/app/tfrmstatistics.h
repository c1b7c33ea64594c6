#pragma once

#include "tpartsummary.h"

#include <QWidget>
#include <memory>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class TFileDialog;
class THistogramView;
class TLiveStatistics;
class TSummaryJob;
class TRecordTable;

// The statistics of the parts in the record table, kept up to date while recording: the figures
// of one group (mode and unit), its tolerance classes, a histogram with the class limits and
// the matched sets, over the whole table or the rows selected in the grid. Not modal: the user
// keeps recording with it open.
class TfrmStatistics : public QWidget
{
    Q_OBJECT
public:
    static constexpr std::size_t MaxSetsShown = 200;

    TfrmStatistics(const TRecordTable &table, const QByteArray &decimalSep, QWidget *parent);
    ~TfrmStatistics() override;

    // The grid's selected rows (0-based, any order); shown when "Selected rows" is chosen.
    void SetSelectedRows(std::vector<qsizetype> rows);
    // The summary the window shows now.
    const TPartSummary &Summary() const { return *Shown_; }
    // The options typed in the window.
    TSummaryOptions Options() const;

    QLabel *lblRows;
    QComboBox *cbbScope;
    QLineEdit *edtNominal;
    QComboBox *cbbSeries;
    QSpinBox *spnMatch;
    QDoubleSpinBox *spnWithin;
    QComboBox *cbbGroup;
    QTableWidget *tblFigures;
    QTableWidget *tblClasses;
    THistogramView *chtHistogram;
    QListWidget *lstSets;
    QPushButton *btnSaveSummary;
    QLabel *lblSaved;
    TFileDialog *SaveDialog;

signals:
    // A summary PDF was written (error empty) or could not be (error says why).
    void SummarySaved(const QString &fileName, const QString &error);

private:
    void optionsChanged();
    void selectionChanged();
    void showSummary();
    void showGroup();
    void showHistogram(const TGroupSummary &g);
    void btnSaveSummaryClick();
    void summarySaved(const QString &fileName, const QString &error);

    const TRecordTable &Table_;
    QByteArray DecimalSep_;
    TLiveStatistics *Live_;
    std::vector<qsizetype> Selected_;
    TSummaryJob *SelectedJob_;
    std::shared_ptr<const TPartSummary> SelectedSummary_ = std::make_shared<TPartSummary>();
    std::shared_ptr<const TPartSummary> Shown_;
    QTimer *SelectionDelay_;
    bool Saving_ = false;
    // Gone with the window: a summary saved after it closed is told to nobody.
    std::shared_ptr<int> Alive_ = std::make_shared<int>(0);
};
