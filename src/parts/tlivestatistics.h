#pragma once

#include "tpartstatistics.h"
#include "tpartsummary.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class TRecordTable;

// The statistics of a record table kept up to date as rows are posted: each row costs O(1)
// (its texts read, the running sums moved); the summary (median, classes, histogram, matched
// sets) is worked out at most five times a second and announced with Changed.
class TLiveStatistics : public QObject
{
    Q_OBJECT
public:
    static constexpr int MinIntervalMs = 200;

    TLiveStatistics(const TRecordTable &table, const QByteArray &decimalSep,
                    QObject *parent = nullptr);

    void SetOptions(const TSummaryOptions &options);
    const TSummaryOptions &Options() const { return Options_; }
    const TPartStatistics &Statistics() const { return Stats_; }
    // The summary as of the last Changed; Refresh works it out at once.
    const TPartSummary &Summary() const { return Summary_; }
    void Refresh();

signals:
    void Changed();

private:
    void rowsAppended(qsizetype first, qsizetype last);
    void schedule();

    const TRecordTable &Table_;
    TPartStatistics Stats_;
    TSummaryOptions Options_;
    TPartSummary Summary_;
    QTimer Timer_;
    QElapsedTimer SinceRefresh_;
};
