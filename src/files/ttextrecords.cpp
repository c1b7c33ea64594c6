#include "ttextrecords.h"

#include "trecordtable.h"

#include <algorithm>
#include <cstring>

namespace {

bool isTrimmed(char c)
{
    return std::uint8_t(c) <= 32;
}

} // namespace

QStringList TextFileTitles()
{
    return {QStringLiteral("NO"),     QStringLiteral("Time"),  QStringLiteral("MMode"),
            QStringLiteral("MValue"), QStringLiteral("MUnit"), QStringLiteral("SMode"),
            QStringLiteral("SValue"), QStringLiteral("SUnit"), QStringLiteral("Freq")};
}

QByteArray TextHeaderLine(const QStringList &titles)
{
    QByteArray line;
    for (const QString &title : titles)
        line += title.toUtf8() + '\t';
    line.chop(1);
    return line + "\r\n";
}

void AppendTextRow(const TRecordTable &table, qsizetype row, QByteArray &out)
{
    char buffer[TRecordTable::MaxFieldBytes];
    const int number = table.CopyBytesAt(row, TRecordTable::aNO, buffer);
    if (number > 0)
        out.append(buffer, number);
    for (int f = TRecordTable::aTime; f < TRecordTable::FieldCount; ++f) {
        out.append('\t');
        const int n = table.CopyBytesAt(row, f, buffer);
        int begin = 0, end = std::max(n, 0);
        while (begin < end && isTrimmed(buffer[begin]))
            ++begin;
        while (end > begin && isTrimmed(buffer[end - 1]))
            --end;
        out.append(buffer + begin, end - begin);
    }
    out.append("\r\n", 2);
}

void SplitText(QByteArrayView text, QByteArrayView separator, std::vector<QByteArrayView> &list,
               qsizetype maxPieces)
{
    list.clear();
    if (separator.isEmpty()) {
        list.push_back(text);
        return;
    }
    for (;;) {
        const qsizetype at =
            qsizetype(list.size()) + 1 < maxPieces ? text.indexOf(separator) : qsizetype(-1);
        if (at < 0) {
            list.push_back(text);
            return;
        }
        list.push_back(text.first(at));
        text = text.sliced(at + separator.size());
    }
}

TTextRecordReader::TTextRecordReader(TRecordTable &table)
    : Table_(table)
{}

bool TTextRecordReader::Feed(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (!Stopped_ && p < end) {
        if (AfterCr_) {
            AfterCr_ = false;
            if (*p == '\n') {
                ++p;
                continue;
            }
        }
        const char *stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n' && *stop != '\0')
            ++stop;
        if (stop == end) {
            keepPartial(QByteArrayView(p, end - p));
            break;
        }
        QByteArrayView line(p, stop - p);
        if (PartialStarted_) {
            keepPartial(line);
            line = Partial_;
        }
        p = stop + 1;
        if (*stop == '\0') {
            // The text ends here; what stood before the zero on its line is the last line.
            Stopped_ = true;
            if (!line.isEmpty() || PartialStarted_)
                takeLine(line);
        } else {
            AfterCr_ = *stop == '\r';
            takeLine(line);
        }
        Partial_.resize(0);
        PartialStarted_ = false;
        PartialPieces_ = 1;
        PartialPieceBytes_ = 0;
    }
    return !Stopped_;
}

void TTextRecordReader::keepPartial(QByteArrayView bytes)
{
    PartialStarted_ = PartialStarted_ || !bytes.isEmpty();
    if (Lines_ == 0)
        return; // the header: never looked at, so never kept
    constexpr qsizetype MaxPieces = TRecordTable::FieldCount + 1;
    while (!bytes.isEmpty() && PartialPieces_ <= MaxPieces) {
        const qsizetype tab = bytes.indexOf('\t');
        const QByteArrayView text = tab < 0 ? bytes : bytes.first(tab);
        if (PartialPieces_ < MaxPieces) {
            // One byte past a record number's limit marks it too long.
            const qsizetype room =
                (PartialPieces_ == 1 ? NumberBytes + 1 : qsizetype(TRecordTable::MaxFieldBytes))
                - PartialPieceBytes_;
            const qsizetype kept = std::min(room, text.size());
            Partial_.append(text.first(kept));
            PartialPieceBytes_ += kept;
        }
        if (tab < 0)
            break;
        // The tenth piece shows the line has too many; what follows it does not matter.
        if (PartialPieces_ < MaxPieces)
            Partial_.append('\t');
        ++PartialPieces_;
        PartialPieceBytes_ = 0;
        bytes = bytes.sliced(tab + 1);
    }
}

bool TTextRecordReader::Finish()
{
    if (!Finished_) {
        Finished_ = true;
        if (!Stopped_ && PartialStarted_)
            takeLine(Partial_);
        Stopped_ = true;
        Partial_ = QByteArray();
        PartialStarted_ = false;
        if (!Failed() && Lines_ == 0)
            fail(QStringLiteral("the file holds no line, not even a header"));
    }
    return !Failed();
}

bool TTextRecordReader::takeLine(QByteArrayView line)
{
    if (++Lines_ == 1)
        return true; // the header: its titles are not read
    // Splitting stops at the tenth piece: that one alone tells the line has too many.
    SplitText(line, "\t", Pieces_, TRecordTable::FieldCount + 1);
    if (Pieces_.size() > std::size_t(TRecordTable::FieldCount))
        return fail(QStringLiteral("line %1 has more fields than the table's %2")
                        .arg(Lines_)
                        .arg(TRecordTable::FieldCount));
    Table_.Append();
    if (Pieces_[0].size() > NumberBytes
        || !Table_.Fields(TRecordTable::aNO).SetAsBytes(Pieces_[0])) {
        Table_.Cancel();
        return fail(QStringLiteral("line %1: the first field is not a whole number").arg(Lines_));
    }
    for (std::size_t j = 1; j < Pieces_.size(); ++j)
        Table_.Fields(int(j)).SetAsBytes(Pieces_[j]);
    if (!Table_.Post()) {
        Table_.Cancel();
        return fail(QStringLiteral("line %1: the table is full").arg(Lines_));
    }
    ++Rows_;
    return true;
}

bool TTextRecordReader::fail(const QString &why)
{
    Error_ = why;
    Stopped_ = true;
    return false;
}
