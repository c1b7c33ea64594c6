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

QByteArray JournalHeaderLine()
{
    return TextHeaderLine(TextFileTitles() << QStringLiteral("Journal"));
}

namespace {

bool needsEscape(const char *bytes, int n)
{
    for (int i = 0; i < n; ++i)
        if (bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0')
            return true;
    return false;
}

void appendEscaped(const char *bytes, int n, QByteArray &out)
{
    for (int i = 0; i < n; ++i) {
        switch (bytes[i]) {
        case '\\':
            out.append("\\\\", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\0':
            out.append("\\0", 2);
            break;
        default:
            out.append(bytes[i]);
        }
    }
}

// The escaped form undone; false for a backslash that begins no known pair.
bool unescape(QByteArrayView text, QByteArray &out)
{
    out.resize(0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i == text.size())
                return false;
            switch (text[i]) {
            case '\\':
                c = '\\';
                break;
            case 't':
                c = '\t';
                break;
            case 'r':
                c = '\r';
                break;
            case 'n':
                c = '\n';
                break;
            case '0':
                c = '\0';
                break;
            default:
                return false;
            }
        }
        out.append(c);
    }
    return true;
}

} // namespace

void AppendJournalRow(const TRecordTable &table, qsizetype row, QByteArray &out)
{
    constexpr int Fields = TRecordTable::FieldCount;
    char buffer[Fields][TRecordTable::MaxFieldBytes];
    int size[Fields];
    int last = -1;
    for (int f = 0; f < Fields; ++f) {
        size[f] = table.CopyBytesAt(row, f, buffer[f]);
        if (size[f] >= 0)
            last = f;
    }
    // A null aNO or a null with values after it has no plain form, nor has a line break.
    bool escape = size[TRecordTable::aNO] < 0;
    for (int f = 0; f < Fields && !escape; ++f)
        escape = size[f] < 0 ? f < last : needsEscape(buffer[f], size[f]);
    if (!escape) {
        for (int f = 0; f <= last; ++f) {
            if (f > 0)
                out.append('\t');
            out.append(buffer[f], size[f]);
        }
    } else {
        out.append('\\');
        for (int f = 0; f < Fields; ++f) {
            if (f > 0)
                out.append('\t');
            if (size[f] < 0)
                out.append("\\N", 2);
            else
                appendEscaped(buffer[f], size[f], out);
        }
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
    : TTextRecordReader(&table, Form::File)
{}

TTextRecordReader::TTextRecordReader(TRecordTable *table, Form form)
    : Table_(table)
    , Journal_(form == Form::Journal)
{}

bool TTextRecordReader::Feed(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (!Stopped_ && p < end) {
        if (Journal_) {
            feedJournal(p, end);
            continue;
        }
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
        endLine();
    }
    return !Stopped_;
}

void TTextRecordReader::feedJournal(const char *&p, const char *end)
{
    if (AfterCr_) {
        // The header ended at a CR whose LF may follow.
        AfterCr_ = false;
        if (*p == '\n') {
            ++p;
            return;
        }
    }
    // A line ends at CR LF only: the journal writes no other line break, so a lone one is
    // damage inside a line, never the end of one.
    const char *stop = p;
    for (;; ++stop) {
        while (stop < end && *stop != '\n' && *stop != '\0')
            ++stop;
        if (stop == end) {
            keepJournalPartial(QByteArrayView(p, end - p));
            p = end;
            return;
        }
        if (*stop == '\0')
            break;
        if (stop > p ? stop[-1] == '\r' : PartialEndsCr_)
            break;
    }
    QByteArrayView line(p, stop - p);
    if (PartialStarted_) {
        keepJournalPartial(line);
        line = Partial_;
    }
    const bool zero = *stop == '\0';
    p = stop + 1;
    if (zero) {
        // The text ends here, inside a line that never got its CR LF.
        Stopped_ = true;
        if ((!line.isEmpty() || PartialStarted_) && ++Lines_ > 1)
            ++Skipped_;
    } else if (line.size() > JournalLineBytes + 1) {
        // Longer than any row (its CR counted): damage, and only its first bytes were kept.
        if (++Lines_ > 1)
            ++Skipped_;
    } else {
        takeLine(line.chopped(1));
    }
    endLine();
}

void TTextRecordReader::keepJournalPartial(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    PartialStarted_ = true;
    PartialEndsCr_ = bytes.back() == '\r';
    // One byte past the longest line and its CR marks the line as too long.
    const qsizetype room = JournalLineBytes + 2 - Partial_.size();
    Partial_.append(bytes.first(std::min(room, bytes.size())));
}

void TTextRecordReader::endLine()
{
    Partial_.resize(0);
    PartialStarted_ = false;
    PartialEndsCr_ = false;
    PartialPieces_ = 1;
    PartialPieceBytes_ = 0;
}

void TTextRecordReader::keepPartial(QByteArrayView bytes)
{
    PartialStarted_ = PartialStarted_ || !bytes.isEmpty();
    if (Lines_ == 0) {
        // The header: looked at only to know a journal's, so kept no further than that tells.
        const qsizetype room = JournalHeaderLine().size() - 1 - Partial_.size();
        Partial_.append(bytes.first(std::clamp<qsizetype>(room, 0, bytes.size())));
        return;
    }
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
        if (!Stopped_ && PartialStarted_) {
            if (!Journal_)
                takeLine(Partial_);
            else if (++Lines_ > 1)
                ++Skipped_; // cut off before its CR LF
        }
        Stopped_ = true;
        endLine();
        Partial_ = QByteArray();
        if (!Failed() && Lines_ == 0)
            fail(QStringLiteral("the file holds no line, not even a header"));
    }
    return !Failed();
}

bool TTextRecordReader::takeLine(QByteArrayView line)
{
    if (++Lines_ == 1) {
        // The header: its titles are not read, but a journal's says how the rest is written.
        if (!Journal_ && line == QByteArrayView(JournalHeaderLine()).chopped(2))
            Journal_ = true;
        return true;
    }
    if (Journal_)
        return takeJournalLine(line);
    if (!Table_)
        return fail(QStringLiteral("line %1: not a journal").arg(Lines_)); // counts journals only
    // Splitting stops at the tenth piece: that one alone tells the line has too many.
    SplitText(line, "\t", Pieces_, TRecordTable::FieldCount + 1);
    if (Pieces_.size() > std::size_t(TRecordTable::FieldCount))
        return fail(QStringLiteral("line %1 has more fields than the table's %2")
                        .arg(Lines_)
                        .arg(TRecordTable::FieldCount));
    Table_->Append();
    if (Pieces_[0].size() > NumberBytes
        || !Table_->Fields(TRecordTable::aNO).SetAsBytes(Pieces_[0])) {
        Table_->Cancel();
        return fail(QStringLiteral("line %1: the first field is not a whole number").arg(Lines_));
    }
    for (std::size_t j = 1; j < Pieces_.size(); ++j)
        Table_->Fields(int(j)).SetAsBytes(Pieces_[j]);
    if (!Table_->Post()) {
        Table_->Cancel();
        return fail(QStringLiteral("line %1: the table is full").arg(Lines_));
    }
    ++Rows_;
    return true;
}

bool TTextRecordReader::takeJournalLine(QByteArrayView line)
{
    const auto skip = [this] {
        ++Skipped_;
        return true;
    };
    if (line.contains('\r') || line.contains('\n'))
        return skip();
    const bool escaped = line.startsWith('\\');
    SplitText(escaped ? line.sliced(1) : line, "\t", Pieces_);
    const std::size_t count = Pieces_.size();
    if (count > std::size_t(TRecordTable::FieldCount)
        || (escaped && count != std::size_t(TRecordTable::FieldCount)))
        return skip();
    Nulls_.fill(false);
    if (escaped) {
        for (std::size_t j = 0; j < count; ++j) {
            Nulls_[j] = Pieces_[j] == QByteArrayView("\\N");
            if (!Nulls_[j] && !unescape(Pieces_[j], Values_[j]))
                return skip();
            Pieces_[j] = Values_[j];
        }
    }
    if (!Nulls_[0] && !TRecordTable::ParseNumber(Pieces_[0]))
        return skip();
    if (!Table_) {
        ++Rows_;
        return true;
    }
    Table_->Append();
    for (std::size_t j = 0; j < count; ++j)
        if (!Nulls_[j])
            Table_->Fields(int(j)).SetAsBytes(Pieces_[j]);
    if (!Table_->Post()) {
        Table_->Cancel();
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
