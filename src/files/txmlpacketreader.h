#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class TRecordTable;

// One attribute of an element, its value with references already replaced.
struct TXmlAttribute
{
    QByteArrayView Name;
    QByteArrayView Value;
};

// Turns the elements of an XML data packet into records of a table. The packet's FIELD
// elements define its fields; each ROW's attributes are matched to them by name (a missing one
// is null), and the row's values go to the table's fields by position, as a temporary table
// copied field by field would hand them over. Whichever parser reads the XML feeds this, so
// every parser gives the same records.
class TXmlPacketBuilder
{
public:
    explicit TXmlPacketBuilder(TRecordTable &table);
    ~TXmlPacketBuilder();

    // False when the element makes the packet malformed; Error() says why.
    bool StartElement(QByteArrayView name, const std::vector<TXmlAttribute> &attributes);
    bool EndElement();
    bool EndDocument();
    // The document is not well-formed: the packet is malformed. Always false.
    bool Reject(const QString &why);

    // The packet is not one this program can read: nothing of it is to be kept.
    bool Malformed() const { return !Malformed_.isEmpty(); }
    // A row that the table cannot take stopped the appending: the rows before it are kept,
    // and the rest of the packet is still checked.
    bool RowFailed() const { return !RowFailed_.isEmpty(); }
    QString Error() const { return Malformed() ? Malformed_ : RowFailed_; }
    qsizetype RowsAppended() const { return Rows_; }

private:
    enum class Kind : std::uint8_t { Packet, Metadata, Fields, RowData, Other };
    struct Field
    {
        QByteArray Name;
        bool Integer = false;
        std::int64_t Min = 0, Max = 0;
    };
    bool defineField(const std::vector<TXmlAttribute> &attributes);
    bool row(const std::vector<TXmlAttribute> &attributes);

    TRecordTable &Table_;
    std::vector<Kind> Open_;
    std::vector<Field> Fields_;
    std::vector<std::optional<QByteArrayView>> Values_;
    std::vector<QByteArray> Numbers_; // integer values in canonical form, per field
    bool SeenMetadata_ = false, SeenFields_ = false, SeenRowData_ = false, RootClosed_ = false;
    qsizetype RowElements_ = 0;
    qsizetype Rows_ = 0;
    QString Malformed_;
    QString RowFailed_;
};

// Reads an XML data packet fed to it in pieces of any size, straight from the bytes, and hands
// its elements to a TXmlPacketBuilder. It takes the XML that packets are made of (elements,
// attributes in any order, references, comments, processing instructions, whitespace anywhere
// between) and checks it as strictly as a conforming parser does, except that it lets control
// characters stand in values, as the packet form writes them. Bytes are taken as they stand:
// text in any 8-bit code page passes through. A document with a document type declaration, a
// CDATA section or a reference between elements needs a full parser (NeedsFullParser()).
class TXmlPacketReader
{
public:
    explicit TXmlPacketReader(TRecordTable &table);
    ~TXmlPacketReader();

    // False once the reading has stopped.
    bool Feed(QByteArrayView bytes);
    // The end of the input. True when the packet was read whole and every row was taken.
    bool Finish();

    bool NeedsFullParser() const { return NeedsFullParser_; }
    const TXmlPacketBuilder &Builder() const { return Builder_; }
    bool Failed() const { return Builder_.Malformed() || Builder_.RowFailed(); }
    QString Error() const { return Builder_.Error(); }

private:
    enum class Step { Done, More, Stop };
    void run(bool atEnd);
    Step token(bool atEnd);
    Step markup(const char *p, const char *end, bool atEnd);
    Step tag(const char *p, const char *end, bool atEnd);
    Step endTag(const char *p, const char *end, bool atEnd);
    bool decode(QByteArrayView raw, std::size_t slot, QByteArrayView &value);
    Step reject(const QString &why);
    Step incomplete(bool atEnd, const char *what);
    Step needsFullParser();

    TXmlPacketBuilder Builder_;
    QByteArray Buffer_;
    qsizetype Pos_ = 0;
    qsizetype Wanted_ = 0; // an unfinished element is parsed again once the buffer is this long
    qint64 Consumed_ = 0;  // bytes dropped from the front of Buffer_, for error positions
    std::vector<QByteArray> Open_;
    std::vector<TXmlAttribute> Attributes_;
    std::vector<QByteArray> Decoded_;
    bool Started_ = false;     // past the byte-order mark
    bool AtFirstToken_ = true; // where the XML declaration may stand
    bool Stopped_ = false;
    bool NeedsFullParser_ = false;
};

// Reads a packet from a device with QXmlStreamReader, the full parser: for documents the
// direct reader leaves to it. Values keep their bytes as the direct reader keeps them, whatever
// encoding the declaration names (or none). False with error set when the
// packet is malformed or a row did not fit; builder errors are reported as by the direct reader.
bool ReadXmlPacketWithQt(QIODevice &device, TRecordTable &table, QString *error);
