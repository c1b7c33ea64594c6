#include "tpartstatistics.h"

#include "trecordtable.h"

#include <cmath>

double TRunningStats::SampleSd() const
{
    return std::sqrt(SampleVariance());
}

void TPartStatistics::AddRow(QByteArrayView mode, QByteArrayView value, QByteArrayView unit,
                             std::int32_t record)
{
    ++Rows_;
    const auto base = BaseValue(value, unit, DecimalSep_);
    if (!base || !std::isfinite(base->Value)) {
        ++NonNumbers_;
        return;
    }
    mode = mode.trimmed();
    // A batch has one or two groups, so a look along the list beats any map.
    TStatsGroup *group = nullptr;
    for (TStatsGroup &g : Groups_) {
        if (g.Kind == base->Kind && QByteArrayView(g.Mode) == mode) {
            group = &g;
            break;
        }
    }
    if (!group) {
        Groups_.push_back(TStatsGroup{mode.toByteArray(), base->Kind, {}, {}});
        group = &Groups_.back();
    }
    group->Running.Add(base->Value);
    group->Parts.push_back({base->Value, record});
}

void TPartStatistics::addTableRow(const TRecordTable &table, qsizetype row)
{
    char mode[TRecordTable::MaxFieldBytes];
    char value[TRecordTable::MaxFieldBytes];
    char unit[TRecordTable::MaxFieldBytes];
    char number[TRecordTable::MaxFieldBytes];
    const int m = table.CopyBytesAt(row, TRecordTable::aMMode, mode);
    const int v = table.CopyBytesAt(row, TRecordTable::aMValue, value);
    const int u = table.CopyBytesAt(row, TRecordTable::aMUnit, unit);
    const int n = table.CopyBytesAt(row, TRecordTable::aNO, number);
    // A row without a number of its own (a file may leave aNO empty) is known by its position.
    std::int32_t record = std::int32_t(row + 1);
    if (n > 0) {
        if (const auto parsed = TRecordTable::ParseNumber(QByteArrayView(number, n)))
            record = *parsed;
    }
    AddRow(QByteArrayView(mode, std::max(m, 0)), QByteArrayView(value, std::max(v, 0)),
           QByteArrayView(unit, std::max(u, 0)), record);
}

void TPartStatistics::AddTable(const TRecordTable &table)
{
    AddRows(table, 0, table.RecordCount() - 1);
}

void TPartStatistics::AddRows(const TRecordTable &table, qsizetype first, qsizetype last)
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, table.RecordCount() - 1);
    for (qsizetype row = first; row <= last; ++row)
        addTableRow(table, row);
}

void TPartStatistics::AddRows(const TRecordTable &table, std::span<const qsizetype> rows)
{
    for (const qsizetype row : rows) {
        if (row >= 0 && row < table.RecordCount())
            addTableRow(table, row);
    }
}

void TPartStatistics::Clear()
{
    Groups_.clear();
    NonNumbers_ = 0;
    Rows_ = 0;
}
