#pragma once

#include "trecordtable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <limits>
#include <vector>

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

// The journal's own text form. It reads as a record file (a header line, then one line per row,
// CR LF after each), but every value comes back exactly: values are not trimmed, trailing null
// fields are left out of the line (as a short line reads), and a row that holds a value with a
// TAB, CR, LF or zero byte, or a null before its last value, is an escaped row: a backslash, then
// all nine values separated by TABs, each with "\\" for a backslash, "\t" TAB, "\r" CR,
// "\n" LF and "\0" a zero byte, and "\N" alone for a null. Every other row is written as
// it stands. The header carries a tenth title, "Journal", by which Open knows such a file.
QByteArray JournalHeaderLine();
void AppendJournalRow(const TRecordTable &table, qsizetype row, QByteArray &out);

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
// A file whose header is the journal's is read as a journal from its second line on.
// As a journal (or when told so) lines end only at CR LF, escaped rows are undone, and a line
// that is no whole row (damaged, or the last one without its CR LF) is skipped and counted, not
// an end of the reading. Without a table it only counts, as a restore would append.
// Memory goes by the row, however long a line is: of the header only as much is kept as tells
// a journal's, and of a line that spans the pieces fed only what its fields can keep is held
// (the first MaxFieldBytes of a text, NumberBytes of a record number, and no piece past the
// tenth). A journal line longer than any row's escaped form (JournalLineBytes) is damaged.
class TTextRecordReader
{
public:
    enum class Form { File, Journal };
    explicit TTextRecordReader(TRecordTable &table);
    TTextRecordReader(TRecordTable *table, Form form);

    // False once the reading has stopped: after a failure or at a zero byte.
    bool Feed(QByteArrayView bytes);
    // The end of the input: reads the last line if it had no line break. True on success.
    bool Finish();

    // A record number written longer than this (blanks and leading zeros included) is not one.
    static constexpr qsizetype NumberBytes = 64;
    // The longest line a journaled row makes: a backslash, nine values with every byte escaped,
    // eight TABs.
    static constexpr qsizetype JournalLineBytes =
        1 + TRecordTable::FieldCount * 2 * qsizetype(TRecordTable::MaxFieldBytes)
        + TRecordTable::FieldCount - 1;

    bool Failed() const { return !Error_.isEmpty(); }
    // Why the reading failed, naming the line; empty while it has not.
    const QString &Error() const { return Error_; }
    qsizetype RowsAppended() const { return Rows_; }
    // Journal lines left out because they were no whole row.
    qsizetype LinesSkipped() const { return Skipped_; }

private:
    bool takeLine(QByteArrayView line);
    bool takeJournalLine(QByteArrayView line);
    void feedJournal(const char *&p, const char *end);
    void keepPartial(QByteArrayView bytes);
    void keepJournalPartial(QByteArrayView bytes);
    void endLine();
    bool fail(const QString &why);

    TRecordTable *Table_;
    bool Journal_;
    // What counts of a line whose end has not been fed yet. In a file: each piece cut to what
    // its field keeps, nothing past the tenth piece; of the header, only as much as tells a
    // journal's. In a journal: the line's first bytes, up to one past the longest a row can be.
    QByteArray Partial_;
    bool PartialStarted_ = false; // a line has begun, though nothing of it may be kept
    bool PartialEndsCr_ = false;  // the last byte fed of the line was a CR
    qsizetype PartialPieces_ = 1;
    qsizetype PartialPieceBytes_ = 0; // kept of the current piece
    std::vector<QByteArrayView> Pieces_;
    qsizetype Lines_ = 0;
    qsizetype Rows_ = 0;
    qsizetype Skipped_ = 0;
    std::array<QByteArray, 9> Values_; // an escaped row's values, undone
    std::array<bool, 9> Nulls_{};
    bool AfterCr_ = false; // an LF right after a CR ends no further line
    bool Stopped_ = false;
    bool Finished_ = false;
    QString Error_;
};
