// Any bytes as a journal left behind by an instance that is gone: finding it must not crash,
// must cut it back to a prefix of itself that ends after a whole line (removing it when no line
// follows the header), must offer exactly the rows a restore then appends, every other line
// counted as damaged, and the rows restored must journal and read back to the same values.
#include "fuzzdictionary.h"
#include "trecordfiles.h"
#include "trecordjournal.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name =
        QDir(dir.path()).filePath(QStringLiteral("journal-20261209-143812-000-1.txt"));
    {
        QFile file(name);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(file.write(bytes) == bytes.size());
    }
    // What must be kept: everything up to the last CR LF before the first zero byte.
    const qsizetype zero = bytes.indexOf('\0');
    const QByteArray readable = zero < 0 ? bytes : bytes.left(zero);
    const qsizetype lastLine = readable.lastIndexOf("\r\n");
    const QByteArray kept = lastLine < 0 ? QByteArray() : readable.left(lastLine + 2);
    // A journal's lines end at CR LF only; every one after the header is a row or damaged.
    const qsizetype lines = std::max<qsizetype>(kept.count("\r\n") - 1, 0);

    const auto found = TAbandonedJournal::Find(dir.path());
    check(QFile::exists(name) == (lines > 0));
    if (lines > 0) {
        QFile file(name);
        check(file.open(QIODevice::ReadOnly));
        check(file.readAll() == kept);
    }
    if (found.empty()) {
        QFile::remove(name);
        return 0;
    }
    check(found.size() == 1 && found[0]->Rows() > 0);
    check(found[0]->Rows() + found[0]->DamagedLines() == lines);
    TRecordTable table;
    const TOpenOutcome outcome = ReadRecordFile(name, TRecordFileForm::Journal, table);
    check(outcome.Ok);
    check(table.RecordCount() == found[0]->Rows());
    check(outcome.Skipped == found[0]->DamagedLines());

    // Journaled again, the rows read back value for value.
    QByteArray again = JournalHeaderLine();
    for (qsizetype r = 0; r < table.RecordCount(); ++r)
        AppendJournalRow(table, r, again);
    TRecordTable back;
    TTextRecordReader reader(&back, TTextRecordReader::Form::File);
    reader.Feed(again);
    check(reader.Finish() && reader.LinesSkipped() == 0);
    check(back.RecordCount() == table.RecordCount());
    for (qsizetype r = 0; r < table.RecordCount(); ++r)
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            check(back.IsNullAt(r, f) == table.IsNullAt(r, f)
                  && back.BytesAt(r, f) == table.BytesAt(r, f));
    found[0]->Discard();
    return 0;
}

TFuzzDictionary fuzzDictionary()
{
    TFuzzDictionary d;
    const QByteArray header = TextHeaderLine(TextFileTitles());
    const QByteArray journal = JournalHeaderLine();
    d.Seeds = {journal + "1\t 2026 \tCp\r\n\\2\ta\\tb\t\\N\tc\\r\\n\t\\\\\t\t\t\t\r\n",
               header
                   + "1\t2026-12-09 14:38:12\tCp\t123.4\tnF\tD\t0.012\t\t1KHz\r\n"
                     "2\t2026-12-09 14:38:13\tCp\t123.5\tnF\tD\t0.012\t\t1KHz\r\n",
               header, header + "1\t2026-12-09 14:38:12\tCs\tOL\t\t\t\t\t100Hz\r\n3\t20"};
    d.Markers = {"\r\n", "\r", "\n",  "\t", QByteArray(1, '\0'), QByteArray(64, '\0'),
                 "1\t",  "\\", "\\N", "\\t"};
    d.Rounds = 1000; // each input is a file of its own, and takes a lock
    return d;
}
