#include "tlivestatistics.h"

#include "trecordtable.h"

TLiveStatistics::TLiveStatistics(const TRecordTable &table, const QByteArray &decimalSep,
                                 QObject *parent)
    : QObject(parent)
    , Table_(table)
    , Stats_(decimalSep)
{
    Timer_.setSingleShot(true);
    connect(&Timer_, &QTimer::timeout, this, &TLiveStatistics::Refresh);
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
    Refresh();
}

void TLiveStatistics::rowsAppended(qsizetype first, qsizetype last)
{
    Stats_.AddRows(Table_, first, last);
    schedule();
}

void TLiveStatistics::schedule()
{
    if (Timer_.isActive())
        return;
    const qint64 since = SinceRefresh_.isValid() ? SinceRefresh_.elapsed() : MinIntervalMs;
    Timer_.start(int(std::clamp<qint64>(MinIntervalMs - since, 0, MinIntervalMs)));
}

void TLiveStatistics::Refresh()
{
    Timer_.stop();
    Summary_ = Summarize(Stats_, Options_);
    SinceRefresh_.start();
    emit Changed();
}
