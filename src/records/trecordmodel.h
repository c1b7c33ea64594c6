#pragma once

#include <QAbstractTableModel>

class TRecordTable;

// The record grid's view of the table: read-only, one column per field, titled as the grid
// shows them. Appended rows arrive as row insertions, never as a reset, so a grid of a million
// rows only lays out what is new; emptying the table is a reset.
class TRecordModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TRecordModel(TRecordTable *table, QObject *parent = nullptr);

    TRecordTable *Table() const { return Table_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void rowsAppended(qsizetype first, qsizetype last);

    TRecordTable *Table_;
    // Rows the views were told about; the table may hold more while its controls are disabled.
    int Rows_ = 0;
};
