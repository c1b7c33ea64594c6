#pragma once

#include "trecordfilewriter.h"
#include "tsavefile.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QIODevice;
class TRecordTable;

// Saving and opening record files as the program does it: which form a file name gives, what
// is written and appended, what fails, and the message the user is shown. The window and the
// recorder only choose the names and show the outcome.

// The extension of a file name: from the last "." after the last path separator, the dot
// included, its letters A to Z in lower case; empty when there is none.
QString RecordFileExtension(const QString &fileName);

// Where a save goes and in which form. The form follows the extension the name was given
// with: ".xml" is the XML packet, anything else text. A name whose extension is none of
// ".xml", ".xls" and ".txt" gets ".xls" appended.
struct TSaveTarget
{
    QString FileName;
    TRecordFileForm Form = TRecordFileForm::Text;
};
TSaveTarget SaveTargetOf(const QString &fileName);

// How an opened file is read: ".xml" as the XML packet, anything else as text.
TRecordFileForm OpenFormOf(const QString &fileName);

struct TSaveOutcome
{
    bool Ok = false;
    bool Cancelled = false;
    TSaveTarget Target;
    qsizetype Rows = 0; // the records the file holds
    QString Error;      // why the save failed, in the system's words
    // What the user is told: the success notice, the text form's failure notice, for the XML
    // form the error itself, or that the save was cancelled and the file left as it was.
    QString Message;
};

struct TOpenOutcome
{
    bool Ok = false;
    bool Cancelled = false;
    qsizetype Appended = 0; // records appended to the table, also when the open failed
    qsizetype Skipped = 0;  // damaged lines of a journal, left out
    QString Error;          // why the open failed, naming the line, row or byte
};

// What the user is told when an open fails, whatever the reason.
inline constexpr char OpenFailedMessage[] = "Failed to Load File!";

// Progress of a save or an open as another thread may read it, and its cancel request.
struct TFileProgress
{
    std::atomic<qint64> Size{0}; // of the file being read
    std::atomic<qint64> Bytes{0};
    std::atomic<qint64> Rows{0};
    std::atomic<bool> Cancel{false};
};

// Writes a table to a file as a whole or not at all: the bytes go to a temporary file beside
// the target, which replaces it only once complete, so a failed save leaves the old file as it
// was. Every failure is kept with the system's reason.
class TRecordFileSink
{
public:
    TRecordFileSink();
    ~TRecordFileSink(); // without Commit, the target stays as it was
    bool Open(const QString &fileName);
    bool Write(QByteArrayView bytes);
    bool Commit();
    void Cancel();
    const QString &Error() const { return Error_; }

private:
    std::unique_ptr<TSaveFile> File_;
    QString Error_;
};

// The outcome of a save, with its message, from what happened.
TSaveOutcome SaveOutcomeOf(const TSaveTarget &target, qsizetype rows, const QString &error,
                           bool cancelled = false);

// Reads the records of a record file into rows, a table of the caller's own that starts empty:
// afterwards it holds the records to append. A malformed XML packet gives none; a text line or
// packet row that does not fit stops the reading and keeps the records before it.
TOpenOutcome ReadRecordFile(QIODevice &device, TRecordFileForm form, TRecordTable &rows,
                            TFileProgress *progress = nullptr);

// The same for the file of that name.
TOpenOutcome ReadRecordFile(const QString &fileName, TRecordTable &rows,
                            TFileProgress *progress = nullptr);
TOpenOutcome ReadRecordFile(const QString &fileName, TRecordFileForm form, TRecordTable &rows,
                            TFileProgress *progress = nullptr);

// Appends what ReadRecordFile read to table in one block; the grid is told once.
void AppendOpenedRows(TRecordTable &table, const TRecordTable &rows, TOpenOutcome &outcome);

// Saves the whole table to the file in the form its name gives (titles: the text form's header
// titles, the grid's own by default). In the text form the table's current record is the last
// one afterwards.
TSaveOutcome DBToFiles(TRecordTable &table, const QString &fileName,
                       const QStringList &titles = {});

// Appends the records of a file to the table, after the rows present (emptying it first when
// emptyFirst is set).
TOpenOutcome AnyToCds(const QString &fileName, TRecordTable &table, bool emptyFirst);
