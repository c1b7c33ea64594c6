#include "trecordtable.h"

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
    // Characters are counted by their lead bytes; the cut falls before the 21st one.
    int characters = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if ((std::uint8_t(bytes[i]) & 0xC0) == 0x80)
            continue;
        if (++characters > TextWidth) {
            bytes.truncate(i);
            break;
        }
    }
    return bytes;
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
        c = Cell();
        return true;
    }
    if (field != aNO) {
        c.Text = StoredText(value.toString());
        c.Null = false;
        return true;
    }
    bool ok = false;
    qlonglong n = 0;
    const int type = value.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray) {
        n = value.toString().trimmed().toLongLong(&ok);
    } else if (type == QMetaType::Double || type == QMetaType::Float) {
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

void TRecordTable::Append()
{
    Pending_.fill(Cell());
    Appending_ = true;
}

void TRecordTable::Cancel()
{
    Appending_ = false;
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
    if (Count_ >= std::numeric_limits<int>::max())
        return false; // the grid counts rows in an int
    const qsizetype row = Count_;
    if (std::size_t(row / BlockRows) == Blocks_.size())
        Blocks_.push_back(std::make_unique<Block>());
    Block &b = *Blocks_.back();
    const qsizetype r = row % BlockRows;
    const Cell &no = Pending_[aNO];
    b.Numbers[r] = no.Null ? 0 : no.Number;
    const auto bit = std::uint8_t(1u << (r % 8));
    b.NumberNull[r / 8] = no.Null ? (b.NumberNull[r / 8] | bit) : (b.NumberNull[r / 8] & ~bit);
    for (int f = 1; f < FieldCount; ++f)
        b.Codes[f - 1][r] = codes[std::size_t(f - 1)];
    ++Count_;
    Appending_ = false;
    Cursor_ = row;
    Eof_ = false;
    if (!Disabled_) {
        Reported_ = Count_;
        emit RowsAppended(row, row);
        emit CurrentRowChanged(row);
    }
    return true;
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
