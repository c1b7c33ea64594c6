#include "tlivestatistics.h"

#include "trecordtable.h"

#include "tpooltask.h"

TSummaryJob::TSummaryJob(QObject *parent)
    : QObject(parent)
{}

TSummaryJob::~TSummaryJob() = default;

void TSummaryJob::Start(const TPartStatistics &stats, const TSummaryOptions &options)
{
    Next_ = std::make_unique<TRequest>(TRequest{stats, options});
    if (!Running_)
        run();
}

void TSummaryJob::run()
{
    Running_ = true;
    std::shared_ptr<const TRequest> request(Next_.release());
    RunOnPool<std::shared_ptr<const TRequest>, std::shared_ptr<const TPartSummary>>(
        std::move(request),
        [](const std::shared_ptr<const TRequest> &r) -> std::shared_ptr<const TPartSummary> {
            return std::make_shared<TPartSummary>(Summarize(r->Stats, r->Options));
        },
        Alive_,
        [this](std::shared_ptr<const TPartSummary> summary) {
            Running_ = false;
            emit Done(std::move(summary));
            if (Next_ && !Running_)
                run();
        });
}

TLiveStatistics::TLiveStatistics(const TRecordTable &table, const QByteArray &decimalSep,
                                 QObject *parent)
    : QObject(parent)
    , Table_(table)
    , Stats_(decimalSep)
{
    Timer_.setSingleShot(true);
    connect(&Timer_, &QTimer::timeout, this, &TLiveStatistics::startJob);
    connect(&Job_, &TSummaryJob::Done, this, [this](std::shared_ptr<const TPartSummary> summary) {
        Summary_ = std::move(summary);
        SinceRefresh_.start();
        emit Changed();
        if (Stale_)
            schedule();
    });
    connect(&table, &TRecordTable::RowsAppended, this, &TLiveStatistics::rowsAppended);
    connect(&table, &TRecordTable::Emptied, this, [this] {
        Stats_.Clear();
        schedule();
    });
    Stats_.AddTable(table);
    Refresh();
}

void TLiveStatistics::SetOptions(const TSummaryOptions &options)
{
    Options_ = options;
    Timer_.stop();
    startJob();
}

void TLiveStatistics::rowsAppended(qsizetype first, qsizetype last)
{
    Stats_.AddRows(Table_, first, last);
    schedule();
}

void TLiveStatistics::schedule()
{
    Stale_ = true;
    // One job at a time: what arrives meanwhile is summed up once it is done.
    if (Timer_.isActive() || Job_.Running())
        return;
    const qint64 since = SinceRefresh_.isValid() ? SinceRefresh_.elapsed() : MinIntervalMs;
    Timer_.start(int(std::clamp<qint64>(MinIntervalMs - since, 0, MinIntervalMs)));
}

void TLiveStatistics::startJob()
{
    Stale_ = false;
    Job_.Start(Stats_, Options_);
}

void TLiveStatistics::Refresh()
{
    Timer_.stop();
    Stale_ = false;
    Summary_ = std::make_shared<TPartSummary>(Summarize(Stats_, Options_));
    SinceRefresh_.start();
    emit Changed();
}
