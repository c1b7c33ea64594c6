#include "tlivestatistics.h"

#include "trecordtable.h"

#include <QCoreApplication>
#include <QThreadPool>

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
    std::shared_ptr<TRequest> request(Next_.release());
    const std::weak_ptr<int> alive = Alive_;
    QThreadPool::globalInstance()->start([this, request, alive] {
        std::shared_ptr<const TPartSummary> summary =
            std::make_shared<TPartSummary>(Summarize(request->Stats, request->Options));
        // The application object lives on the owner's thread (the window's, or the recorder's
        // only one), where the owner is also destroyed: checking alive there cannot race.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [this, alive, summary] {
            if (alive.expired())
                return;
            Running_ = false;
            emit Done(summary);
            if (Next_ && !Running_)
                run();
        });
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
