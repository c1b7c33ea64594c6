#include "trecordmodel.h"

#include "trecordtable.h"

TRecordModel::TRecordModel(TRecordTable *table, QObject *parent)
    : QAbstractTableModel(parent)
    , Table_(table)
    , Rows_(int(table->RecordCount()))
{
    connect(table, &TRecordTable::RowsAppended, this, &TRecordModel::rowsAppended);
    connect(table, &TRecordTable::AboutToEmpty, this, &TRecordModel::beginResetModel);
    connect(table, &TRecordTable::Emptied, this, [this] {
        Rows_ = 0;
        endResetModel();
    });
}

void TRecordModel::rowsAppended(qsizetype first, qsizetype last)
{
    // The rows already exist in the table, but rowCount() reports Rows_, so the views still
    // see the old count until endInsertRows().
    beginInsertRows(QModelIndex(), int(first), int(last));
    Rows_ = int(last) + 1;
    endInsertRows();
}

int TRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Rows_;
}

int TRecordModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : TRecordTable::FieldCount;
}

QVariant TRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Rows_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // Text, so the number column shows no digit grouping of the locale.
        return Table_->TextAt(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == TRecordTable::aNO
                   ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                   : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[TRecordTable::FieldCount] = {
        "NO", "Time", "MMode", "MValue", "MUnit", "SMode", "SValue", "SUnit", "Freq"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < TRecordTable::FieldCount)
        return QLatin1String(titles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TRecordModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
