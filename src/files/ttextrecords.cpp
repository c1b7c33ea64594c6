#include "ttextrecords.h"

#include "trecordtable.h"

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

void SplitText(QByteArrayView text, QByteArrayView separator, std::vector<QByteArrayView> &list)
{
    list.clear();
    if (separator.isEmpty()) {
        list.push_back(text);
        return;
    }
    for (;;) {
        const qsizetype at = text.indexOf(separator);
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
            Partial_.append(p, end - p);
            break;
        }
        QByteArrayView line(p, stop - p);
        if (!Partial_.isEmpty()) {
            Partial_.append(line);
            line = Partial_;
        }
        p = stop + 1;
        if (*stop == '\0') {
            // The text ends here; what stood before the zero on its line is the last line.
            Stopped_ = true;
            if (!line.isEmpty())
                takeLine(line);
        } else {
            AfterCr_ = *stop == '\r';
            takeLine(line);
        }
        Partial_.resize(0);
    }
    return !Stopped_;
}

bool TTextRecordReader::Finish()
{
    if (!Finished_) {
        Finished_ = true;
        if (!Stopped_ && !Partial_.isEmpty())
            takeLine(Partial_);
        Stopped_ = true;
        Partial_ = QByteArray();
        if (!Failed() && Lines_ == 0)
            fail(QStringLiteral("the file holds no line, not even a header"));
    }
    return !Failed();
}

bool TTextRecordReader::takeLine(QByteArrayView line)
{
    if (++Lines_ == 1)
        return true; // the header: its titles are not read
    SplitText(line, "\t", Pieces_);
    if (Pieces_.size() > std::size_t(TRecordTable::FieldCount))
        return fail(QStringLiteral("line %1 has %2 fields, more than the table's %3")
                        .arg(Lines_)
                        .arg(Pieces_.size())
                        .arg(TRecordTable::FieldCount));
    Table_.Append();
    if (!Table_.Fields(TRecordTable::aNO).SetAsBytes(Pieces_[0])) {
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
