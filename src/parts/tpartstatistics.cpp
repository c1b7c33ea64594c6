#include "tpartstatistics.h"

#include "trecordtable.h"

#include <cmath>

double TRunningStats::SampleSd() const
{
    return std::sqrt(SampleVariance());
}

void TPartStatistics::AddRow(QByteArrayView mode, QByteArrayView value, QByteArrayView unit,
                             std::int32_t record, qsizetype row)
{
    ++Rows_;
    if (!HasLast_ || QByteArrayView(LastUnit_) != unit || QByteArrayView(LastMode_) != mode) {
        LastMode_.assign(mode.data(), std::size_t(mode.size()));
        LastUnit_.assign(unit.data(), std::size_t(unit.size()));
        LastScale_ = UnitScale(unit);
        LastGroup_ = -1;
        HasLast_ = true;
    }
    const std::optional<double> v =
        LastScale_ ? ScaledNumber(value, DecimalSep_, LastScale_->Exponent) : std::nullopt;
    if (!v || !std::isfinite(*v)) {
        ++NonNumbers_;
        return;
    }
    // A group is made by its first number, never by a row without one.
    if (LastGroup_ < 0)
        LastGroup_ = groupOf(mode.trimmed(), LastScale_->Kind);
    TStatsGroup &group = Groups_[std::size_t(LastGroup_)];
    group.Running.Add(*v);
    group.Parts.push_back({*v, record, std::int32_t(row)});
}

qsizetype TPartStatistics::groupOf(QByteArrayView mode, TUnitKind kind)
{
    // A batch has one or two groups, so a look along the list beats any map.
    for (std::size_t i = 0; i < Groups_.size(); ++i) {
        if (Groups_[i].Kind == kind && QByteArrayView(Groups_[i].Mode) == mode)
            return qsizetype(i);
    }
    Groups_.push_back(TStatsGroup{mode.toByteArray(), kind, {}, {}});
    return qsizetype(Groups_.size() - 1);
}

void TPartStatistics::addTableRow(const TRecordTable &table, qsizetype row)
{
    char mode[TRecordTable::MaxFieldBytes];
    char value[TRecordTable::MaxFieldBytes];
    char unit[TRecordTable::MaxFieldBytes];
    const int m = table.CopyBytesAt(row, TRecordTable::aMMode, mode);
    const int v = table.CopyBytesAt(row, TRecordTable::aMValue, value);
    const int u = table.CopyBytesAt(row, TRecordTable::aMUnit, unit);
    // A row without a number of its own (a file may leave aNO empty) is known by its position.
    const std::int32_t record = table.NumberAt(row).value_or(std::int32_t(row + 1));
    AddRow(QByteArrayView(mode, std::max(m, 0)), QByteArrayView(value, std::max(v, 0)),
           QByteArrayView(unit, std::max(u, 0)), record, row);
}

void TPartStatistics::AddTable(const TRecordTable &table)
{
    AddRows(table, 0, table.RecordCount() - 1);
}

void TPartStatistics::AddRows(const TRecordTable &table, qsizetype first, qsizetype last)
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, table.RecordCount() - 1);
    for (qsizetype row = first; row <= last; ++row) {
        addTableRow(table, row);
        // A table is mostly one group: once its first row has found it, room for the rest is
        // made at once rather than by doubling and copying as they come. Never less than
        // doubling, or batch after batch would each copy the whole list.
        if (row == first && row < last && LastGroup_ >= 0) {
            std::vector<TPartValue> &parts = Groups_[std::size_t(LastGroup_)].Parts;
            const std::size_t need = parts.size() + std::size_t(last - row);
            if (parts.capacity() < need)
                parts.reserve(std::max(need, 2 * parts.capacity()));
        }
    }
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
    HasLast_ = false;
    NonNumbers_ = 0;
    Rows_ = 0;
}
