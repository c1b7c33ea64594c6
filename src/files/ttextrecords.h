#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <limits>
#include <vector>

class TRecordTable;

// The tab-separated text form of the record table (".xls" and ".txt" files): a header line of
// column titles, then one line per record, every line ended by CR LF, no quoting. The pieces
// are separate so that a file can also be written one row at a time as rows arrive.

// The record grid's column titles, which head a file written without a grid.
QStringList TextFileTitles();

// The header line: each title followed by a TAB, the last TAB dropped, then CR LF.
QByteArray TextHeaderLine(const QStringList &titles);

// Appends one record's line: aNO as decimal text, then the eight texts with leading and
// trailing codes 0 to 32 removed, separated by TABs, ended by CR LF. A null field is empty.
void AppendTextRow(const TRecordTable &table, qsizetype row, QByteArray &out);

// Fills list with the pieces of text between separators (views into text): n separators give
// n + 1 pieces, so an empty text gives one empty piece. At most maxPieces pieces are made; the
// last one then holds the rest of the text, separators and all.
void SplitText(QByteArrayView text, QByteArrayView separator, std::vector<QByteArrayView> &list,
               qsizetype maxPieces = std::numeric_limits<qsizetype>::max());

// Reads a text file fed to it in pieces of any size and appends one record per line to a
// table. Lines end at CR LF, a lone CR or a lone LF; a zero byte ends the text. The first line
// is taken to be the header and never looked at. Each other line is split at TABs and piece j
// goes to field j (piece 0 to aNO, which must be a whole number). The first line that does not
// fit stops the reading; the rows before it stay, the line itself is dropped.
// Memory goes by the row, however long a line is: the header is skipped as it streams past,
// and of a line that spans the pieces fed only what its fields can keep is held (the first
// MaxFieldBytes of a text, NumberBytes of a record number, and no piece past the tenth).
class TTextRecordReader
{
public:
    explicit TTextRecordReader(TRecordTable &table);

    // False once the reading has stopped: after a failure or at a zero byte.
    bool Feed(QByteArrayView bytes);
    // The end of the input: reads the last line if it had no line break. True on success.
    bool Finish();

    // A record number written longer than this (blanks and leading zeros included) is not one.
    static constexpr qsizetype NumberBytes = 64;

    bool Failed() const { return !Error_.isEmpty(); }
    // Why the reading failed, naming the line; empty while it has not.
    const QString &Error() const { return Error_; }
    qsizetype RowsAppended() const { return Rows_; }

private:
    bool takeLine(QByteArrayView line);
    void keepPartial(QByteArrayView bytes);
    bool fail(const QString &why);

    TRecordTable &Table_;
    // What counts of a line whose end has not been fed yet: each piece cut to what its field
    // keeps, nothing past the tenth piece.
    QByteArray Partial_;
    bool PartialStarted_ = false; // a line has begun, though nothing of it may be kept
    qsizetype PartialPieces_ = 1;
    qsizetype PartialPieceBytes_ = 0; // kept of the current piece
    std::vector<QByteArrayView> Pieces_;
    qsizetype Lines_ = 0;
    qsizetype Rows_ = 0;
    bool AfterCr_ = false; // an LF right after a CR ends no further line
    bool Stopped_ = false;
    bool Finished_ = false;
    QString Error_;
};
