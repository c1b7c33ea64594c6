#pragma once

#include <QByteArray>
#include <QStringList>

class TRecordTable;

// The two forms a record file takes.
// Journal: the text form as the recording journal writes it, read so (see ttextrecords.h).
enum class TRecordFileForm { Text, Xml, Journal };

// Makes the bytes of a whole record file, piece by piece, so that a caller can write a large
// table without holding the file in memory, and yield to its event loop between pieces. The
// records are those the table held when the writer was made; rows appended later are not
// part of the file. The table must keep those rows while the writer runs.
class TRecordFileWriter
{
public:
    TRecordFileWriter(const TRecordTable &table, TRecordFileForm form,
                      QStringList titles = {}); // titles: of the text form's header line

    qsizetype RowCount() const { return Rows_; }
    qsizetype RowsWritten() const
    {
        return Phase_ == Phase::Head || Phase_ == Phase::ChangeLog ? 0 : Next_;
    }
    bool Done() const { return Phase_ == Phase::Finished; }

    // Appends the next bytes of the file to out until out holds at least minBytes or the file
    // is complete. True once the file is complete.
    bool Produce(QByteArray &out, qsizetype minBytes);

private:
    enum class Phase { Head, ChangeLog, Rows, Tail, Finished };

    const TRecordTable &Table_;
    TRecordFileForm Form_;
    QStringList Titles_;
    qsizetype Rows_;
    qsizetype Next_ = 0; // the next row (or change log entry) to write, 0-based
    Phase Phase_ = Phase::Head;
};
