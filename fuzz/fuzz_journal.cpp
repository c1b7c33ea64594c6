// Any bytes as a journal left behind by an instance that is gone: finding it must not crash,
// must cut it back to a prefix of itself that ends after a whole line (or remove it when no
// record line is left), count exactly the record lines kept, and leave a file that opens.
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
    const qsizetype rows = std::max<qsizetype>(kept.count("\r\n") - 1, 0);

    const auto found = TAbandonedJournal::Find(dir.path());
    if (rows == 0) {
        check(found.empty());
        check(!QFile::exists(name));
        return 0;
    }
    check(found.size() == 1 && found[0]->Rows() == rows);
    QFile file(name);
    check(file.open(QIODevice::ReadOnly));
    check(file.readAll() == kept);
    file.close();
    TRecordTable table;
    const TOpenOutcome outcome = AnyToCds(name, table, false);
    check(table.RecordCount() <= rows);
    check(!outcome.Ok || table.RecordCount() == rows);
    found[0]->Discard();
    return 0;
}

TFuzzDictionary fuzzDictionary()
{
    TFuzzDictionary d;
    const QByteArray header = TextHeaderLine(TextFileTitles());
    d.Seeds = {header
                   + "1\t2026-12-09 14:38:12\tCp\t123.4\tnF\tD\t0.012\t\t1KHz\r\n"
                     "2\t2026-12-09 14:38:13\tCp\t123.5\tnF\tD\t0.012\t\t1KHz\r\n",
               header, header + "1\t2026-12-09 14:38:12\tCs\tOL\t\t\t\t\t100Hz\r\n3\t20"};
    d.Markers = {"\r\n", "\r", "\n", "\t", QByteArray(1, '\0'), QByteArray(64, '\0'), "1\t"};
    d.Rounds = 1000; // each input is a file of its own, and takes a lock
    return d;
}
