#include "txmlpacketreader.h"

#include "trecordtable.h"

#include <QIODevice>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace {

bool is(QByteArrayView a, const char *b)
{
    return a == QByteArrayView(b);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameStart(char c)
{
    const auto b = std::uint8_t(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == ':' || b >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The ranges a packet field of an integer type takes; nullopt for the other types, whose
// values are taken as text.
std::optional<std::pair<std::int64_t, std::int64_t>> integerRange(QByteArrayView type)
{
    using L = std::numeric_limits<std::int64_t>;
    if (is(type, "i1"))
        return std::pair<std::int64_t, std::int64_t>{-128, 127};
    if (is(type, "i2"))
        return std::pair<std::int64_t, std::int64_t>{-32768, 32767};
    if (is(type, "i4"))
        return std::pair<std::int64_t, std::int64_t>{-2147483648LL, 2147483647LL};
    if (is(type, "i8"))
        return std::pair<std::int64_t, std::int64_t>{L::min(), L::max()};
    if (is(type, "ui1"))
        return std::pair<std::int64_t, std::int64_t>{0, 255};
    if (is(type, "ui2"))
        return std::pair<std::int64_t, std::int64_t>{0, 65535};
    if (is(type, "ui4"))
        return std::pair<std::int64_t, std::int64_t>{0, 4294967295LL};
    return std::nullopt;
}

QString quoted(QByteArrayView bytes)
{
    return QLatin1Char('"') + QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 40)))
           + QLatin1Char('"');
}

} // namespace

// --- TXmlPacketBuilder -----------------------------------------------------------------------

TXmlPacketBuilder::TXmlPacketBuilder(TRecordTable &table)
    : Table_(table)
{}

TXmlPacketBuilder::~TXmlPacketBuilder() = default;

bool TXmlPacketBuilder::Reject(const QString &why)
{
    if (Malformed_.isEmpty())
        Malformed_ = why;
    // A packet that is not whole gives no records at all, even those read before the fault.
    Table_.Cancel();
    Table_.Empty();
    Rows_ = 0;
    return false;
}

bool TXmlPacketBuilder::StartElement(QByteArrayView name,
                                     const std::vector<TXmlAttribute> &attributes)
{
    if (Malformed())
        return false;
    Kind kind = Kind::Other;
    if (Open_.empty()) {
        if (RootClosed_)
            return Reject(QStringLiteral("an element after the end of the packet"));
        if (!is(name, "DATAPACKET"))
            return Reject(QStringLiteral("the document is no DATAPACKET"));
        kind = Kind::Packet;
    } else {
        switch (Open_.back()) {
        case Kind::Packet:
            if (is(name, "METADATA")) {
                if (SeenMetadata_)
                    return Reject(QStringLiteral("the packet has two METADATA elements"));
                SeenMetadata_ = true;
                kind = Kind::Metadata;
            } else if (is(name, "ROWDATA")) {
                if (!SeenFields_)
                    return Reject(QStringLiteral("ROWDATA comes before the fields"));
                if (SeenRowData_)
                    return Reject(QStringLiteral("the packet has two ROWDATA elements"));
                SeenRowData_ = true;
                kind = Kind::RowData;
            }
            break;
        case Kind::Metadata:
            if (is(name, "FIELDS")) {
                if (SeenFields_)
                    return Reject(QStringLiteral("the packet has two FIELDS elements"));
                SeenFields_ = true;
                kind = Kind::Fields;
            }
            break;
        case Kind::Fields:
            if (is(name, "FIELD") && !defineField(attributes))
                return false;
            break;
        case Kind::RowData:
            if (is(name, "ROW") && !row(attributes))
                return false;
            break;
        case Kind::Other:
            break;
        }
    }
    Open_.push_back(kind);
    return true;
}

bool TXmlPacketBuilder::EndElement()
{
    if (Malformed())
        return false;
    if (Open_.empty())
        return Reject(QStringLiteral("an end tag without its start"));
    const Kind kind = Open_.back();
    Open_.pop_back();
    if (kind == Kind::Fields && Fields_.empty())
        return Reject(QStringLiteral("the packet defines no field"));
    if (kind == Kind::Packet)
        RootClosed_ = true;
    return true;
}

bool TXmlPacketBuilder::EndDocument()
{
    if (Malformed())
        return false;
    if (!RootClosed_)
        return Reject(QStringLiteral("the packet ends before </DATAPACKET>"));
    if (!SeenFields_)
        return Reject(QStringLiteral("the packet defines no fields"));
    return !RowFailed();
}

bool TXmlPacketBuilder::defineField(const std::vector<TXmlAttribute> &attributes)
{
    std::optional<QByteArrayView> name, type;
    for (const TXmlAttribute &a : attributes) {
        if (is(a.Name, "attrname"))
            name = a.Value;
        else if (is(a.Name, "fieldtype"))
            type = a.Value;
    }
    if (!name || name->isEmpty() || !type)
        return Reject(
            QStringLiteral("field %1 lacks its attrname or fieldtype").arg(Fields_.size() + 1));
    for (const Field &f : Fields_)
        if (f.Name == *name)
            return Reject(QStringLiteral("two fields are named %1").arg(quoted(*name)));
    Field f;
    f.Name = name->toByteArray();
    if (const auto range = integerRange(*type)) {
        f.Integer = true;
        f.Min = range->first;
        f.Max = range->second;
    }
    Fields_.push_back(std::move(f));
    Values_.resize(Fields_.size());
    Numbers_.resize(Fields_.size());
    return true;
}

bool TXmlPacketBuilder::row(const std::vector<TXmlAttribute> &attributes)
{
    ++RowElements_;
    std::fill(Values_.begin(), Values_.end(), std::nullopt);
    for (const TXmlAttribute &a : attributes) {
        // Attributes that name no field (RowState among them) are not values.
        for (std::size_t i = 0; i < Fields_.size(); ++i) {
            const Field &f = Fields_[i];
            if (f.Name != a.Name)
                continue;
            if (f.Integer) {
                const std::optional<std::int64_t> n = TRecordTable::ParseWholeNumber(a.Value);
                if (!n || *n < f.Min || *n > f.Max)
                    return Reject(QStringLiteral("row %1: %2 is no value of the integer "
                                                 "field %3")
                                      .arg(RowElements_)
                                      .arg(quoted(a.Value), QString::fromUtf8(f.Name)));
                Numbers_[i] = QByteArray::number(qlonglong(*n));
                Values_[i] = QByteArrayView(Numbers_[i]);
            } else {
                Values_[i] = a.Value;
            }
            break;
        }
    }
    if (RowFailed())
        return true; // the rest of the packet is still read, to find out whether it is whole
    auto failRow = [this](const QString &why) {
        Table_.Cancel();
        RowFailed_ = QStringLiteral("row %1: %2").arg(RowElements_).arg(why);
        return true;
    };
    Table_.Append();
    for (std::size_t i = 0; i < Values_.size(); ++i) {
        if (i >= std::size_t(TRecordTable::FieldCount))
            return failRow(QStringLiteral("the packet has %1 fields, more than the table's %2")
                               .arg(Fields_.size())
                               .arg(TRecordTable::FieldCount));
        const TRecordField field = Table_.Fields(int(i));
        if (!(Values_[i] ? field.SetAsBytes(*Values_[i]) : field.Clear()))
            return failRow(QStringLiteral("%1 does not fit the field %2")
                               .arg(quoted(*Values_[i]), field.FieldName()));
    }
    if (!Table_.Post())
        return failRow(QStringLiteral("the table is full"));
    ++Rows_;
    return true;
}

// --- TXmlPacketReader ------------------------------------------------------------------------

TXmlPacketReader::TXmlPacketReader(TRecordTable &table)
    : Builder_(table)
{}

TXmlPacketReader::~TXmlPacketReader() = default;

bool TXmlPacketReader::Feed(QByteArrayView bytes)
{
    if (Stopped_)
        return false;
    // What has been read is dropped once it is the larger part, so the buffer holds about one
    // piece of input plus an unfinished element, however long the document.
    if (Pos_ > 0 && Pos_ >= Buffer_.size() / 2) {
        Buffer_.remove(0, Pos_);
        Consumed_ += Pos_;
        Wanted_ -= Pos_;
        Pos_ = 0;
    }
    Buffer_.append(bytes.data(), bytes.size());
    // An element cut by the end of a piece is parsed from its start again, so the next try
    // waits until the unread part has doubled: a huge element fed in small pieces costs
    // linear time, not quadratic.
    if (Buffer_.size() >= Wanted_)
        run(false);
    return !Stopped_;
}

bool TXmlPacketReader::Finish()
{
    if (!Stopped_) {
        run(true);
        if (!Stopped_) {
            Stopped_ = true;
            Builder_.EndDocument();
        }
    }
    Buffer_ = QByteArray();
    return !NeedsFullParser_ && !Failed();
}

TXmlPacketReader::Step TXmlPacketReader::reject(const QString &why)
{
    Stopped_ = true;
    Builder_.Reject(QStringLiteral("byte %1: %2").arg(Consumed_ + Pos_).arg(why));
    return Step::Stop;
}

TXmlPacketReader::Step TXmlPacketReader::incomplete(bool atEnd, const char *what)
{
    if (!atEnd)
        return Step::More; // the rest of the element is in the next piece
    return reject(QStringLiteral("the document ends inside %1").arg(QLatin1String(what)));
}

TXmlPacketReader::Step TXmlPacketReader::needsFullParser()
{
    Stopped_ = true;
    NeedsFullParser_ = true;
    return Step::Stop;
}

void TXmlPacketReader::run(bool atEnd)
{
    while (!Stopped_ && Pos_ < Buffer_.size()) {
        if (token(atEnd) == Step::More) {
            Wanted_ = Buffer_.size() + (Buffer_.size() - Pos_);
            return;
        }
    }
    if (atEnd && !Stopped_ && !Open_.empty())
        reject(
            QStringLiteral("the document ends before </%1>").arg(QString::fromUtf8(Open_.back())));
}

TXmlPacketReader::Step TXmlPacketReader::token(bool atEnd)
{
    const char *const begin = Buffer_.constData();
    const char *const end = begin + Buffer_.size();
    const char *p = begin + Pos_;
    if (!Started_) {
        static constexpr char Bom[] = "\xEF\xBB\xBF";
        const qsizetype have = std::min<qsizetype>(end - p, 3);
        if (std::memcmp(p, Bom, std::size_t(have)) == 0) {
            if (have < 3 && !atEnd)
                return Step::More;
            if (have == 3)
                Pos_ += 3;
        }
        Started_ = true;
        return Step::Done;
    }
    if (isSpace(*p)) {
        while (p < end && isSpace(*p))
            ++p;
        Pos_ = p - begin;
        AtFirstToken_ = false;
        return Step::Done;
    }
    if (*p == '<') {
        const Step step = markup(p, end, atEnd);
        if (step == Step::Done)
            AtFirstToken_ = false;
        return step;
    }
    if (*p == '&')
        return needsFullParser(); // a reference between elements
    return reject(QStringLiteral("text where a packet has none"));
}

TXmlPacketReader::Step TXmlPacketReader::markup(const char *p, const char *end, bool atEnd)
{
    if (end - p < 2)
        return incomplete(atEnd, "markup");
    const char *const begin = Buffer_.constData();
    const QByteArrayView rest(p, end - p);
    if (p[1] == '?') {
        const qsizetype close = rest.indexOf("?>", 2);
        if (close < 0)
            return incomplete(atEnd, "a processing instruction");
        const char *q = p + 2;
        while (q < p + close && isNameChar(*q))
            ++q;
        const QByteArrayView target(p + 2, q - (p + 2));
        if (target.isEmpty() || (q < p + close && !isSpace(*q)))
            return reject(QStringLiteral("a processing instruction without a target"));
        if (target.compare("xml", Qt::CaseInsensitive) == 0 && !AtFirstToken_)
            return reject(QStringLiteral("the XML declaration is not at the start"));
        Pos_ = p + close + 2 - begin;
        return Step::Done;
    }
    if (p[1] == '!') {
        if (rest.size() < 9 && !atEnd
            && (QByteArrayView("<!DOCTYPE").startsWith(rest)
                || QByteArrayView("<![CDATA[").startsWith(rest)
                || QByteArrayView("<!--").startsWith(rest)))
            return Step::More;
        if (rest.startsWith("<!--")) {
            const qsizetype close = rest.indexOf("--", 4);
            if (close < 0)
                return incomplete(atEnd, "a comment");
            if (close + 2 >= rest.size())
                return incomplete(atEnd, "a comment");
            if (p[close + 2] != '>')
                return reject(QStringLiteral("\"--\" inside a comment"));
            Pos_ = p + close + 3 - begin;
            return Step::Done;
        }
        if (rest.startsWith("<!DOCTYPE") || rest.startsWith("<![CDATA["))
            return needsFullParser();
        return reject(QStringLiteral("unknown markup"));
    }
    if (p[1] == '/')
        return endTag(p, end, atEnd);
    return tag(p, end, atEnd);
}

TXmlPacketReader::Step TXmlPacketReader::tag(const char *p, const char *end, bool atEnd)
{
    const char *q = p + 1;
    if (!isNameStart(*q))
        return reject(QStringLiteral("a tag without a name"));
    while (q < end && isNameChar(*q))
        ++q;
    const QByteArrayView name(p + 1, q - (p + 1));
    Attributes_.clear();
    bool empty = false;
    for (;;) {
        const char *const blank = q;
        while (q < end && isSpace(*q))
            ++q;
        if (q == end)
            return incomplete(atEnd, "a tag");
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/') {
            if (q + 1 == end)
                return incomplete(atEnd, "a tag");
            if (q[1] != '>')
                return reject(QStringLiteral("\"/\" inside a tag"));
            q += 2;
            empty = true;
            break;
        }
        if (q == blank || !isNameStart(*q))
            return reject(
                QStringLiteral("a malformed attribute in <%1>").arg(QString::fromUtf8(name)));
        const char *const attributeName = q;
        while (q < end && isNameChar(*q))
            ++q;
        const QByteArrayView attribute(attributeName, q - attributeName);
        while (q < end && isSpace(*q))
            ++q;
        if (q == end)
            return incomplete(atEnd, "a tag");
        if (*q != '=')
            return reject(QStringLiteral("attribute %1 has no value").arg(quoted(attribute)));
        ++q;
        while (q < end && isSpace(*q))
            ++q;
        if (q == end)
            return incomplete(atEnd, "a tag");
        const char quote = *q;
        if (quote != '"' && quote != '\'')
            return reject(QStringLiteral("the value of %1 is not quoted").arg(quoted(attribute)));
        const auto *close = static_cast<const char *>(std::memchr(q + 1, quote, end - q - 1));
        if (!close)
            return incomplete(atEnd, "a tag");
        for (const TXmlAttribute &a : Attributes_)
            if (a.Name == attribute)
                return reject(QStringLiteral("attribute %1 twice").arg(quoted(attribute)));
        QByteArrayView value;
        if (!decode(QByteArrayView(q + 1, close - q - 1), Attributes_.size(), value))
            return Step::Stop;
        Attributes_.push_back({attribute, value});
        q = close + 1;
    }
    Pos_ = q - Buffer_.constData();
    if (!Builder_.StartElement(name, Attributes_) || (empty && !Builder_.EndElement())) {
        Stopped_ = true;
        return Step::Stop;
    }
    if (!empty)
        Open_.push_back(name.toByteArray());
    return Step::Done;
}

TXmlPacketReader::Step TXmlPacketReader::endTag(const char *p, const char *end, bool atEnd)
{
    const char *q = p + 2;
    if (q == end)
        return incomplete(atEnd, "an end tag");
    if (!isNameStart(*q))
        return reject(QStringLiteral("an end tag without a name"));
    while (q < end && isNameChar(*q))
        ++q;
    const QByteArrayView name(p + 2, q - (p + 2));
    while (q < end && isSpace(*q))
        ++q;
    if (q == end)
        return incomplete(atEnd, "an end tag");
    if (*q != '>')
        return reject(QStringLiteral("a malformed end tag"));
    if (Open_.empty() || Open_.back() != name)
        return reject(QStringLiteral("</%1> closes no open element of that name")
                          .arg(QString::fromUtf8(name)));
    Open_.pop_back();
    Pos_ = q + 1 - Buffer_.constData();
    if (!Builder_.EndElement()) {
        Stopped_ = true;
        return Step::Stop;
    }
    return Step::Done;
}

namespace {

bool isXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
           || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::uint32_t c, QByteArray &out)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | c >> 6));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | c >> 12));
        out.append(char(0x80 | (c >> 6 & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | c >> 18));
        out.append(char(0x80 | (c >> 12 & 0x3F)));
        out.append(char(0x80 | (c >> 6 & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// The character a reference (between "&" and ";") stands for, if it is one.
std::optional<std::uint32_t> referenced(QByteArrayView ref)
{
    if (is(ref, "lt"))
        return '<';
    if (is(ref, "gt"))
        return '>';
    if (is(ref, "amp"))
        return '&';
    if (is(ref, "apos"))
        return '\'';
    if (is(ref, "quot"))
        return '"';
    if (ref.size() < 2 || ref[0] != '#')
        return std::nullopt;
    const bool hex = ref[1] == 'x';
    const QByteArrayView digits = ref.sliced(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t c = 0;
    const auto [stop, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), c, hex ? 16 : 10);
    if (error != std::errc() || stop != digits.data() + digits.size() || !isXmlChar(c))
        return std::nullopt;
    return c;
}

} // namespace

bool TXmlPacketReader::decode(QByteArrayView raw, std::size_t slot, QByteArrayView &value)
{
    const char *p = raw.data();
    const char *const end = p + raw.size();
    const char *plain = p;
    while (plain < end && *plain != '&' && *plain != '<' && *plain != '\t' && *plain != '\r'
           && *plain != '\n' && *plain != '\0')
        ++plain;
    if (plain == end) {
        value = raw; // the usual case: nothing to replace
        return true;
    }
    if (Decoded_.size() <= slot)
        Decoded_.resize(slot + 1);
    QByteArray &out = Decoded_[slot];
    out.resize(0);
    out.append(p, plain - p);
    for (p = plain; p < end; ++p) {
        switch (*p) {
        case '<':
            reject(QStringLiteral("\"<\" inside an attribute value"));
            return false;
        case '\0':
            reject(QStringLiteral("a zero byte inside an attribute value"));
            return false;
        case '\r':
            if (p + 1 < end && p[1] == '\n')
                ++p;
            [[fallthrough]];
        case '\t':
        case '\n':
            out.append(' '); // line breaks and TABs written as they stand read as blanks
            break;
        case '&': {
            const auto *semicolon = static_cast<const char *>(std::memchr(p, ';', end - p));
            const std::optional<std::uint32_t> c =
                semicolon ? referenced(QByteArrayView(p + 1, semicolon - p - 1)) : std::nullopt;
            if (!c) {
                reject(QStringLiteral("an unknown reference inside an attribute value"));
                return false;
            }
            appendUtf8(*c, out);
            p = semicolon;
            break;
        }
        default:
            out.append(*p);
        }
    }
    value = out;
    return true;
}

// --- the full parser -------------------------------------------------------------------------

namespace {

// The full parser decodes text, but a packet's values are bytes in whatever 8-bit code page
// wrote them, declared or not. So each byte from 0x80 up is handed to it as a character of
// the private use area and turned back into that very byte afterwards, whatever encoding the
// declaration names; a character reference still stands for its character (in UTF-8), as the
// direct reader takes it.
constexpr char16_t ByteBase = 0xF700;

QString bytesAsText(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        *out++ = QChar(b < 0x80 ? char16_t(b) : char16_t(ByteBase + b));
    }
    return text;
}

QByteArray textAsBytes(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= ByteBase + 0x80 && c <= ByteBase + 0xFF) {
            bytes.append(char(c - ByteBase));
        } else if (c < 0x80) {
            bytes.append(char(c));
        } else {
            const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            bytes.append(text.sliced(i, n).toUtf8());
            i += n - 1;
        }
    }
    return bytes;
}

} // namespace

bool ReadXmlPacketWithQt(QIODevice &device, TRecordTable &table, QString *error)
{
    TXmlPacketBuilder builder(table);
    QXmlStreamReader xml;
    // Names are taken as they are written, as the direct reader takes them.
    xml.setNamespaceProcessing(false);
    // Fed a piece at a time, so a large packet costs the memory of a piece and of a row.
    constexpr qsizetype PieceBytes = 1 << 20;
    QByteArray piece(PieceBytes, Qt::Uninitialized);
    bool readFailed = false;
    bool atStart = true;
    const auto feed = [&] {
        qint64 n = device.read(piece.data(), piece.size());
        // A byte-order mark stands for the encoding it marks, which the parser is not given:
        // it is dropped, as the direct reader drops it.
        static constexpr char Bom[] = "\xEF\xBB\xBF";
        while (atStart && n > 0 && n < 3 && QByteArrayView(Bom).startsWith(piece.first(n))) {
            const qint64 more = device.read(piece.data() + n, piece.size() - n);
            if (more <= 0)
                break;
            n += more;
        }
        if (n < 0)
            readFailed = true;
        if (n <= 0)
            return false;
        QByteArrayView bytes(piece.constData(), n);
        if (atStart && bytes.startsWith(Bom))
            bytes = bytes.sliced(3);
        atStart = false;
        xml.addData(bytesAsText(bytes));
        return true;
    };
    feed();
    std::vector<QByteArray> texts;
    std::vector<TXmlAttribute> attributes;
    int depth = 0;
    bool rootClosed = false;
    while (!builder.Malformed()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Invalid
            && xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && feed())
            continue;
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
            break;
        switch (token) {
        case QXmlStreamReader::StartElement: {
            ++depth;
            const QXmlStreamAttributes found = xml.attributes();
            texts.resize(std::size_t(found.size()) * 2 + 1);
            attributes.clear();
            for (qsizetype i = 0; i < found.size(); ++i) {
                texts[std::size_t(2 * i)] = textAsBytes(found[i].qualifiedName());
                texts[std::size_t(2 * i + 1)] = textAsBytes(found[i].value());
                attributes.push_back({texts[std::size_t(2 * i)], texts[std::size_t(2 * i + 1)]});
            }
            texts.back() = textAsBytes(xml.qualifiedName());
            builder.StartElement(texts.back(), attributes);
            break;
        }
        case QXmlStreamReader::EndElement:
            rootClosed = --depth == 0;
            builder.EndElement();
            break;
        case QXmlStreamReader::Characters: {
            // Blanks however written (literally, in CDATA, by reference) separate elements.
            const QStringView text = xml.text();
            if (!std::all_of(text.begin(), text.end(), [](QChar c) {
                    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
                }))
                builder.Reject(QStringLiteral("text where a packet has none"));
            break;
        }
        case QXmlStreamReader::EntityReference:
            builder.Reject(QStringLiteral("an undeclared entity"));
            break;
        default:
            break;
        }
    }
    // Fed in pieces, the parser cannot tell the end of the input from a pause in it: a
    // document whose root element has closed is whole.
    const bool whole =
        rootClosed && !readFailed
        && (!xml.hasError() || xml.error() == QXmlStreamReader::PrematureEndOfDocumentError);
    if (readFailed)
        builder.Reject(QStringLiteral("the file cannot be read: ") + device.errorString());
    else if (xml.hasError() && !whole)
        builder.Reject(QStringLiteral("line %1, column %2: %3")
                           .arg(xml.lineNumber())
                           .arg(xml.columnNumber())
                           .arg(xml.errorString()));
    else if (!builder.Malformed())
        builder.EndDocument();
    if (error)
        *error = builder.Error();
    return !builder.Malformed() && !builder.RowFailed();
}
