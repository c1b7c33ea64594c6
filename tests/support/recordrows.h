#pragma once

// Record table rows as tests write and compare them: each row a list of nine byte texts, a
// null field written as Null. Header only; needs nothing but the records library.

#include "trecordtable.h"

#include <QByteArrayList>
#include <QList>
#include <QtTest>

using RecordRows = QList<QByteArrayList>;

inline const QByteArray Null = QByteArrayLiteral("<null>");

// Appends rows given as bytes; aNO is read as a whole number. Fewer than nine texts leave the
// rest null.
inline void appendRows(TRecordTable &table, const RecordRows &rows)
{
    for (const QByteArrayList &row : rows) {
        table.Append();
        for (int f = 0; f < row.size() && f < TRecordTable::FieldCount; ++f)
            if (row[f] != Null)
                QVERIFY2(table.Fields(f).SetAsBytes(row[f]), row[f].constData());
        QVERIFY(table.Post());
    }
}

inline RecordRows rowsOf(const TRecordTable &table, qsizetype from = 0)
{
    RecordRows rows;
    for (qsizetype r = from; r < table.RecordCount(); ++r) {
        QByteArrayList row;
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            row << (table.IsNullAt(r, f) ? Null : table.BytesAt(r, f));
        rows << row;
    }
    return rows;
}

// A full row: aNO and the eight texts.
inline QByteArrayList recordRow(const QByteArray &number, const QByteArrayList &texts)
{
    QByteArrayList row{number};
    row << texts;
    while (row.size() < TRecordTable::FieldCount)
        row << Null;
    return row;
}
