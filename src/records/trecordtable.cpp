#include "trecordtable.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace {

constexpr const char *FieldNames[TRecordTable::FieldCount] = {
    "aNO", "aTime", "aMMode", "aMValue", "aMUnit", "aSMode", "aSValue", "aSUnit", "aFreq"};

// A text code is (pool id << 7) | tail. Trailing digits are kept out of the pool, so the
// seconds of a time or the last digits of a reading do not each make a new pooled text:
// tail 0-99 is two digits "00".."99", 100-109 one digit, NoTail none.
constexpr std::uint32_t TailBits = 7;
constexpr std::uint32_t NoTail = 127;
constexpr std::uint32_t MaxPoolId = (1u << (32 - TailBits)) - 2; // all ones is the null code

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isContinuation(std::uint8_t b, std::uint8_t low = 0x80, std::uint8_t high = 0xBF)
{
    return b >= low && b <= high;
}

// Bytes of the well-formed UTF-8 sequence that starts text, or 0 when none starts there.
int utf8SequenceLength(const std::uint8_t *s, qsizetype n)
{
    const std::uint8_t b = s[0];
    if (b < 0x80)
        return 1;
    int length = 0;
    std::uint8_t low = 0x80, high = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0; // no overlong forms
        else if (b == 0xED)
            high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (n < length || !isContinuation(s[1], low, high))
        return 0;
    for (int i = 2; i < length; ++i)
        if (!isContinuation(s[i]))
            return 0;
    return length;
}

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

struct TRecordTable::Block
{
    std::int32_t Numbers[BlockRows];
    std::uint8_t NumberNull[BlockRows / 8];
    std::uint32_t Codes[FieldCount - 1][BlockRows];
};

// --- TRecordField ----------------------------------------------------------------------------

bool TRecordField::IsValid() const
{
    return Table_ && Index_ >= 0 && Index_ < TRecordTable::FieldCount;
}

QString TRecordField::FieldName() const
{
    return IsValid() ? TRecordTable::FieldName(Index_) : QString();
}

bool TRecordField::IsNull() const
{
    return !IsValid() || Table_->currentIsNull(Index_);
}

QString TRecordField::AsString() const
{
    return IsValid() ? Table_->currentValue(Index_).toString() : QString();
}

QVariant TRecordField::Value() const
{
    return IsValid() ? Table_->currentValue(Index_) : QVariant();
}

bool TRecordField::SetAsString(const QString &text) const
{
    return IsValid() && Table_->setCell(Index_, QVariant(text));
}

bool TRecordField::SetValue(const QVariant &value) const
{
    return IsValid() && Table_->setCell(Index_, value);
}

bool TRecordField::SetAsBytes(QByteArrayView bytes) const
{
    return IsValid() && Table_->setCellBytes(Index_, bytes);
}

bool TRecordField::Clear() const
{
    return IsValid() && Table_->setCell(Index_, QVariant());
}

// --- TRecordTable ----------------------------------------------------------------------------

QString TRecordTable::FieldName(int field)
{
    return field >= 0 && field < FieldCount ? QLatin1String(FieldNames[field]) : QString();
}

int TRecordTable::FieldIndex(QStringView name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (name.compare(QLatin1String(FieldNames[i]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QByteArray TRecordTable::StoredText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.truncate(StoredLength(bytes));
    return bytes;
}

qsizetype TRecordTable::StoredLength(QByteArrayView bytes)
{
    const auto *s = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype at = 0;
    for (int characters = 0; characters < TextWidth && at < n; ++characters)
        at += std::max(1, utf8SequenceLength(s + at, n - at));
    return at;
}

std::optional<std::int64_t> TRecordTable::ParseWholeNumber(QByteArrayView text)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-'))
        negative = *begin++ == '-';
    if (begin == end || !isDigit(*begin))
        return std::nullopt;
    // The digits alone, so the most negative number is read as the negation of one too many.
    std::uint64_t n = 0;
    const auto [stop, error] = std::from_chars(begin, end, n);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    constexpr auto top = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (n > top + (negative ? 1 : 0))
        return std::nullopt;
    return negative ? std::int64_t(0 - n) : std::int64_t(n);
}

std::optional<std::int32_t> TRecordTable::ParseNumber(QByteArrayView text)
{
    const std::optional<std::int64_t> n = ParseWholeNumber(text);
    if (!n || *n < std::numeric_limits<std::int32_t>::min()
        || *n > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(*n);
}

TRecordTable::TRecordTable(QObject *parent)
    : QObject(parent)
{}

TRecordTable::~TRecordTable() = default;

std::uint32_t TRecordTable::encode(const QByteArray &text)
{
    const qsizetype n = text.size();
    std::uint32_t tail = NoTail;
    qsizetype prefix = n;
    if (n >= 2 && isDigit(text[n - 1]) && isDigit(text[n - 2])) {
        tail = std::uint32_t((text[n - 2] - '0') * 10 + (text[n - 1] - '0'));
        prefix = n - 2;
    } else if (n >= 1 && isDigit(text[n - 1])) {
        tail = 100 + std::uint32_t(text[n - 1] - '0');
        prefix = n - 1;
    }
    const std::uint32_t id = Pool_.Intern(QByteArrayView(text.constData(), prefix));
    if (id > MaxPoolId)
        return NullCode;
    return id << TailBits | tail;
}

QByteArray TRecordTable::decode(std::uint32_t code) const
{
    const QByteArrayView prefix = Pool_.At(code >> TailBits);
    const std::uint32_t tail = code & NoTail;
    QByteArray text;
    text.reserve(prefix.size() + 2);
    text.append(prefix);
    if (tail < 100) {
        text.append(char('0' + tail / 10));
        text.append(char('0' + tail % 10));
    } else if (tail < 110) {
        text.append(char('0' + tail - 100));
    }
    return text;
}

bool TRecordTable::IsNullAt(qsizetype row, int field) const
{
    if (row < 0 || row >= Count_ || field < 0 || field >= FieldCount)
        return true;
    const Block &b = *Blocks_[std::size_t(row / BlockRows)];
    const qsizetype r = row % BlockRows;
    if (field == aNO)
        return b.NumberNull[r / 8] & (1u << (r % 8));
    return b.Codes[field - 1][r] == NullCode;
}

QByteArray TRecordTable::BytesAt(qsizetype row, int field) const
{
    if (IsNullAt(row, field))
        return {};
    const Block &b = *Blocks_[std::size_t(row / BlockRows)];
    const qsizetype r = row % BlockRows;
    if (field == aNO)
        return QByteArray::number(b.Numbers[r]);
    return decode(b.Codes[field - 1][r]);
}

int TRecordTable::CopyBytesAt(qsizetype row, int field, char *buffer) const
{
    if (IsNullAt(row, field))
        return -1;
    const Block &b = *Blocks_[std::size_t(row / BlockRows)];
    const qsizetype r = row % BlockRows;
    if (field == aNO)
        return int(std::to_chars(buffer, buffer + MaxFieldBytes, b.Numbers[r]).ptr - buffer);
    const std::uint32_t code = b.Codes[field - 1][r];
    const QByteArrayView prefix = Pool_.At(code >> TailBits);
    // Only the table's own texts are pooled, and those are cut to MaxFieldBytes.
    int n = int(prefix.size());
    if (n > 0) // an empty text's view may have no data at all, which memcpy must not get
        std::memcpy(buffer, prefix.data(), std::size_t(n));
    const std::uint32_t tail = code & NoTail;
    if (tail < 100) {
        buffer[n++] = char('0' + tail / 10);
        buffer[n++] = char('0' + tail % 10);
    } else if (tail < 110) {
        buffer[n++] = char('0' + tail - 100);
    }
    return n;
}

std::optional<std::int32_t> TRecordTable::NumberAt(qsizetype row) const
{
    if (IsNullAt(row, aNO))
        return std::nullopt;
    return Blocks_[std::size_t(row / BlockRows)]->Numbers[row % BlockRows];
}

QString TRecordTable::TextAt(qsizetype row, int field) const
{
    return QString::fromUtf8(BytesAt(row, field));
}

QVariant TRecordTable::ValueAt(qsizetype row, int field) const
{
    if (IsNullAt(row, field))
        return {};
    if (field == aNO)
        return QVariant(Blocks_[std::size_t(row / BlockRows)]->Numbers[row % BlockRows]);
    return QVariant(TextAt(row, field));
}

bool TRecordTable::currentIsNull(int field) const
{
    if (Appending_)
        return Pending_[std::size_t(field)].Null;
    return IsNullAt(Cursor_, field);
}

QVariant TRecordTable::currentValue(int field) const
{
    if (!Appending_)
        return ValueAt(Cursor_, field);
    const Cell &c = Pending_[std::size_t(field)];
    if (c.Null)
        return {};
    return field == aNO ? QVariant(c.Number) : QVariant(QString::fromUtf8(c.Text));
}

bool TRecordTable::setCell(int field, const QVariant &value)
{
    if (!Appending_ || field < 0 || field >= FieldCount)
        return false;
    Cell &c = Pending_[std::size_t(field)];
    if (!value.isValid() || value.isNull()) {
        c.Null = true;
        return true;
    }
    const int type = value.typeId();
    if (type == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return setCellBytes(field, bytes);
    }
    if (field != aNO || type == QMetaType::QString)
        return setCellBytes(field, value.toString().toUtf8());
    bool ok = false;
    qlonglong n = 0;
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double d = value.toDouble();
        ok = d == double(qlonglong(d));
        n = qlonglong(d);
    } else {
        n = value.toLongLong(&ok);
    }
    if (!ok || n < std::numeric_limits<std::int32_t>::min()
        || n > std::numeric_limits<std::int32_t>::max())
        return false;
    c.Number = std::int32_t(n);
    c.Null = false;
    return true;
}

bool TRecordTable::setCellBytes(int field, QByteArrayView bytes)
{
    if (!Appending_ || field < 0 || field >= FieldCount)
        return false;
    Cell &c = Pending_[std::size_t(field)];
    if (field == aNO) {
        const std::optional<std::int32_t> n = ParseNumber(bytes);
        if (!n)
            return false;
        c.Number = *n;
    } else {
        // Copied into the cell's own buffer, which is kept from row to row: appending a million
        // rows from a file allocates nothing per field.
        const qsizetype n = StoredLength(bytes);
        c.Text.resize(n);
        if (n)
            std::memcpy(c.Text.data(), bytes.data(), std::size_t(n));
    }
    c.Null = false;
    return true;
}

void TRecordTable::Append()
{
    for (Cell &c : Pending_)
        c.Null = true;
    Appending_ = true;
}

void TRecordTable::Cancel()
{
    Appending_ = false;
}

bool TRecordTable::full() const
{
    return Count_ >= std::numeric_limits<int>::max(); // the grid counts rows in an int
}

TRecordTable::Block &TRecordTable::nextRow(qsizetype &r)
{
    const qsizetype row = Count_;
    if (std::size_t(row / BlockRows) == Blocks_.size())
        Blocks_.push_back(std::make_unique<Block>());
    r = row % BlockRows;
    return *Blocks_.back();
}

void TRecordTable::setNumber(Block &b, qsizetype r, bool null, std::int32_t number)
{
    b.Numbers[r] = null ? 0 : number;
    const auto bit = std::uint8_t(1u << (r % 8));
    b.NumberNull[r / 8] = null ? (b.NumberNull[r / 8] | bit) : (b.NumberNull[r / 8] & ~bit);
}

bool TRecordTable::Post()
{
    if (!Appending_)
        return false;
    std::array<std::uint32_t, FieldCount - 1> codes;
    for (int f = 1; f < FieldCount; ++f) {
        const Cell &c = Pending_[std::size_t(f)];
        codes[std::size_t(f - 1)] = c.Null ? NullCode : encode(c.Text);
        if (!c.Null && codes[std::size_t(f - 1)] == NullCode)
            return false; // the pool is full: the row stays pending rather than lose a text
    }
    if (full())
        return false;
    const qsizetype first = Count_;
    qsizetype r = 0;
    Block &b = nextRow(r);
    const Cell &no = Pending_[aNO];
    setNumber(b, r, no.Null, no.Number);
    for (int f = 1; f < FieldCount; ++f)
        b.Codes[f - 1][r] = codes[std::size_t(f - 1)];
    ++Count_;
    Appending_ = false;
    reportAppended(first);
    return true;
}

qsizetype TRecordTable::AppendRows(const TRecordTable &source)
{
    const qsizetype first = Count_;
    const qsizetype rows = source.Count_; // fixed before the loop, so a table can append itself
    const bool samePool = &source == this;
    // Source text ids translated into this pool's ids, each the first time it is met: a file's
    // rows repeat few distinct texts, so this costs one lookup per distinct text, not per cell.
    constexpr std::uint32_t Unmapped = NullCode;
    std::vector<std::uint32_t> ids(samePool ? 0 : source.Pool_.Count(), Unmapped);
    for (qsizetype row = 0; row < rows && !full(); ++row) {
        const Block &from = *source.Blocks_[std::size_t(row / BlockRows)];
        const qsizetype s = row % BlockRows;
        std::array<std::uint32_t, FieldCount - 1> codes;
        bool fits = true;
        for (int f = 1; f < FieldCount && fits; ++f) {
            std::uint32_t code = from.Codes[f - 1][s];
            if (code != NullCode && !samePool) {
                std::uint32_t &id = ids[code >> TailBits];
                if (id == Unmapped)
                    id = Pool_.Intern(source.Pool_.At(code >> TailBits));
                fits = id <= MaxPoolId;
                code = id << TailBits | (code & NoTail);
            }
            codes[std::size_t(f - 1)] = code;
        }
        if (!fits)
            break;
        qsizetype r = 0;
        Block &b = nextRow(r);
        setNumber(b, r, from.NumberNull[s / 8] & (1u << (s % 8)), from.Numbers[s]);
        for (int f = 1; f < FieldCount; ++f)
            b.Codes[f - 1][r] = codes[std::size_t(f - 1)];
        ++Count_;
    }
    if (Count_ > first)
        reportAppended(first);
    return Count_ - first;
}

void TRecordTable::reportAppended(qsizetype first)
{
    Cursor_ = Count_ - 1;
    Eof_ = false;
    if (!Disabled_) {
        Reported_ = Count_;
        emit RowsAppended(first, Count_ - 1);
        emit CurrentRowChanged(Cursor_);
    }
}

void TRecordTable::First()
{
    Appending_ = false;
    Cursor_ = Count_ > 0 ? 0 : -1;
    Eof_ = Count_ == 0;
    reportCursor();
}

void TRecordTable::Next()
{
    Appending_ = false;
    if (Cursor_ + 1 < Count_) {
        ++Cursor_;
        reportCursor();
    } else {
        Eof_ = true;
    }
}

void TRecordTable::Last()
{
    Appending_ = false;
    Cursor_ = Count_ - 1;
    Eof_ = Count_ == 0;
    reportCursor();
}

bool TRecordTable::MoveTo(qsizetype row)
{
    if (row < 0 || row >= Count_)
        return false;
    Appending_ = false;
    Cursor_ = row;
    Eof_ = false;
    reportCursor();
    return true;
}

void TRecordTable::reportCursor()
{
    if (!Disabled_)
        emit CurrentRowChanged(Cursor_);
}

void TRecordTable::Empty()
{
    emit AboutToEmpty();
    Blocks_.clear();
    Blocks_.shrink_to_fit();
    Pool_.Clear();
    Count_ = 0;
    Reported_ = 0;
    Cursor_ = -1;
    Eof_ = true;
    Appending_ = false;
    emit Emptied();
}

void TRecordTable::DisableControls()
{
    ++Disabled_;
}

void TRecordTable::EnableControls()
{
    if (Disabled_ == 0 || --Disabled_ > 0)
        return;
    if (Reported_ < Count_) {
        const qsizetype first = Reported_;
        Reported_ = Count_;
        emit RowsAppended(first, Count_ - 1);
    }
    emit CurrentRowChanged(Cursor_);
}

std::size_t TRecordTable::MemoryUsage() const
{
    return Blocks_.size() * sizeof(Block) + Blocks_.capacity() * sizeof(Blocks_[0])
           + Pool_.MemoryUsage();
}
