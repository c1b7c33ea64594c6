#pragma once

#include "tpartstatistics.h"
#include "tpartsummary.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class TRecordTable;

// Works summaries out on the thread pool, one at a time: a summary of a million parts takes most
// of a second (sorting for the median and the matched sets), which the window's thread must not
// wait for. Each job sums up a copy of the statistics as they were when it was asked for; asked
// again while one runs, only the newest request runs next. Results come back on the owner's
// thread, and never once the owner is gone.
class TSummaryJob : public QObject
{
    Q_OBJECT
public:
    explicit TSummaryJob(QObject *parent = nullptr);
    ~TSummaryJob() override;

    void Start(const TPartStatistics &stats, const TSummaryOptions &options);
    bool Running() const { return Running_; }

signals:
    // Shared, not copied: a million parts' summary holds up to half a million matched sets.
    void Done(std::shared_ptr<const TPartSummary> summary);

private:
    void run();

    struct TRequest
    {
        TPartStatistics Stats;
        TSummaryOptions Options;
    };
    std::unique_ptr<TRequest> Next_;
    bool Running_ = false;
    // Gone once this object is, which a job's result checks on this object's thread before it
    // is handed over.
    std::shared_ptr<int> Alive_ = std::make_shared<int>(0);
};

// The statistics of a record table kept up to date as rows are posted: each row costs O(1)
// (its texts read, the running sums moved); the summary (median, classes, histogram, matched
// sets) is worked out at most five times a second, away from the caller's thread, and announced
// with Changed.
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
    // The summary as of the last Changed; Refresh works it out at once, on this thread.
    const TPartSummary &Summary() const { return *Summary_; }
    std::shared_ptr<const TPartSummary> SharedSummary() const { return Summary_; }
    void Refresh();

signals:
    void Changed();

private:
    void rowsAppended(qsizetype first, qsizetype last);
    void schedule();
    void startJob();

    const TRecordTable &Table_;
    TPartStatistics Stats_;
    TSummaryOptions Options_;
    std::shared_ptr<const TPartSummary> Summary_;
    TSummaryJob Job_;
    QTimer Timer_;
    QElapsedTimer SinceRefresh_;
    // A summary was asked for after the running job took its copy.
    bool Stale_ = false;
};
