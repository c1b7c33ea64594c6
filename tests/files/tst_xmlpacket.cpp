// The XML data packet form: the bytes a save writes, written out here by hand, their
// well-formedness to an independent parser, and what an open makes of packets of every shape,
// fed whole and trickled, checked against QXmlStreamReader where both must agree.
#include "../support/recordrows.h"
#include "../support/testfiles.h"

#include "trecordfiles.h"
#include "trecordtable.h"
#include "txmlpacketreader.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>

#ifdef Q_OS_WIN
#include "../support/hosthelper.h"
#endif
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray Declaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
const QByteArray Fields = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                          "<FIELD attrname=\"aNO\" fieldtype=\"i4\"/>"
                          "<FIELD attrname=\"aTime\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aMMode\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aMValue\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aMUnit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aSMode\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aSValue\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aSUnit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"aFreq\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "</FIELDS>";
const QByteArray Tail = "</ROWDATA></DATAPACKET>";

// A packet of the program's nine fields around the given ROW elements.
QByteArray packet(const QByteArray &rows)
{
    return Declaration + Fields + "<PARAMS/></METADATA><ROWDATA>" + rows + Tail;
}

// A packet with other field definitions.
QByteArray packetWithFields(const QByteArray &fields, const QByteArray &rows)
{
    return "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields
           + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + Tail;
}

// Bytes 0x80 to 0xFF in order, cut into the 20-byte values they fill.
QByteArrayList highBytes()
{
    QByteArray all;
    for (int b = 0x80; b <= 0xFF; ++b)
        all.append(char(b));
    QByteArrayList values;
    for (qsizetype at = 0; at < all.size(); at += 20)
        values << all.mid(at, 20);
    return values;
}

// Hands out at most Step bytes a read, as a slow or chunked source would.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(const QByteArray &bytes, qint64 step)
        : Bytes_(bytes)
        , Step_(step)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return Bytes_.size(); }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = std::min({max, Step_, qint64(Bytes_.size()) - pos()});
        std::memcpy(data, Bytes_.constData() + pos(), std::size_t(std::max<qint64>(n, 0)));
        return std::max<qint64>(n, 0);
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray Bytes_;
    qint64 Step_;
};

struct Read
{
    bool ok = false;
    RecordRows rows;
    QString error;
};

Read readWith(QIODevice &device)
{
    TRecordTable table;
    const TOpenOutcome o = ReadRecordFile(device, TRecordFileForm::Xml, table);
    return {o.Ok, rowsOf(table), o.Error};
}

Read readWithQt(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TRecordTable table;
    Read r;
    r.ok = ReadXmlPacketWithQt(buffer, table, &r.error);
    r.rows = rowsOf(table);
    return r;
}

QByteArray saved(const RecordRows &rows, const QString &path)
{
    TRecordTable table;
    appendRows(table, rows);
    const TSaveOutcome outcome = DBToFiles(table, path);
    if (!outcome.Ok)
        return "<failed: " + outcome.Error.toUtf8() + ">";
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

Q_DECLARE_METATYPE(RecordRows)

class TestXmlPacket : public QObject
{
    Q_OBJECT

private slots:
    void savedBytes_data();
    void savedBytes();
    void wellFormedToXmllint_data();
    void wellFormedToXmllint();
    void reading_data();
    void reading();
    void savedPacketsReadBack_data();
    void savedPacketsReadBack();
};

// The file a save writes, byte for byte.
void TestXmlPacket::savedBytes_data()
{
    QTest::addColumn<RecordRows>("rows");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty table: no change log, empty ROWDATA")
        << RecordRows{}
        << Declaration + Fields + "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>";
    QTest::newRow("one recorded row")
        << RecordRows{recordRow(
               "1", {"2026-12-08 09:05:07", "Cp", "123.4", "nF", "D", "0.012", "", "1KHz"})}
        << Declaration + Fields
               + "<PARAMS CHANGE_LOG=\"1 0 4\"/></METADATA><ROWDATA>"
                 "<ROW RowState=\"4\" aNO=\"1\" aTime=\"2026-12-08 09:05:07\" aMMode=\"Cp\" "
                 "aMValue=\"123.4\" aMUnit=\"nF\" aSMode=\"D\" aSValue=\"0.012\" aSUnit=\"\" "
                 "aFreq=\"1KHz\"/>"
                 "</ROWDATA></DATAPACKET>";
    const QByteArrayList high = highBytes();
    QTest::newRow("every escape, bytes 0x80 to 0xFF, a negative number")
        << RecordRows{recordRow("12", {"<>&'\"", "\r\n\t\\", "a&amp;b", " x ", "/=?;#"}),
                      recordRow("-5", {high[0], high[1], high[2], high[3], high[4], high[5],
                                       high[6], "\xCE\xB8"})}
        << Declaration + Fields
               + "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
                 "<ROW RowState=\"4\" aNO=\"12\" aTime=\"&lt;&gt;&amp;&apos;&quot;\" "
                 "aMMode=\"&#013;&#010;&#009;&#092;\" aMValue=\"a&amp;amp;b\" aMUnit=\" x \" "
                 "aSMode=\"/=?;#\"/>"
                 "<ROW RowState=\"4\" aNO=\"-5\" aTime=\""
               + high[0] + "\" aMMode=\"" + high[1] + "\" aMValue=\"" + high[2] + "\" aMUnit=\""
               + high[3] + "\" aSMode=\"" + high[4] + "\" aSValue=\"" + high[5] + "\" aSUnit=\""
               + high[6] + "\" aFreq=\"\xCE\xB8\"/></ROWDATA></DATAPACKET>";
    QTest::newRow("null fields have no attribute, empty texts an empty one")
        << RecordRows{recordRow("3", {Null, "", Null, Null, Null, Null, Null, "z"}),
                      recordRow(Null, {"t"})}
        << Declaration + Fields
               + "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
                 "<ROW RowState=\"4\" aNO=\"3\" aMMode=\"\" aFreq=\"z\"/>"
                 "<ROW RowState=\"4\" aTime=\"t\"/>"
                 "</ROWDATA></DATAPACKET>";
}

void TestXmlPacket::savedBytes()
{
    QFETCH(RecordRows, rows);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QCOMPARE(saved(rows, dir.filePath(QStringLiteral("rec.xml"))), bytes);
}

// Every packet a save writes from UTF-8 texts is well-formed XML to libxml2.
void TestXmlPacket::wellFormedToXmllint_data()
{
    QTest::addColumn<RecordRows>("rows");
    QTest::newRow("empty") << RecordRows{};
    QTest::newRow("escapes, theta, degrees, micro")
        << RecordRows{recordRow("-1", {"<>&'\"", "\r\n\t\\", "\xCE\xB8", "\xC2\xB0",
                                       "\xC2\xB5"
                                       "F"}),
                      recordRow(Null, {Null, ""})};
    RecordRows many;
    for (int i = 1; i <= 3000; ++i)
        many << recordRow(QByteArray::number(i),
                          {"2026-12-08 09:" + QByteArray::number(10 + i % 50) + ":00", "Cp",
                           QByteArray::number(i * 0.1, 'f', 1), "nF", "D", "0.012", "", "1KHz"});
    QTest::newRow("3000 recorded rows") << many;
}

void TestXmlPacket::wellFormedToXmllint()
{
    QFETCH(RecordRows, rows);
#ifdef Q_OS_WIN
    // Under Wine the Linux xmllint reads the file the Windows build saved.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.xml"));
    QVERIFY(!saved(rows, path).startsWith("<failed"));
    THostHelper host(QStringLiteral(LUMETRA_HOSTHELPER));
    QByteArray errors;
    QCOMPARE(host.Run({QStringLiteral("xmllint"), QStringLiteral("--noout"), path}, {}, nullptr,
                      &errors),
             0);
    QCOMPARE(errors, QByteArray());
#else
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    QVERIFY2(!xmllint.isEmpty(), "xmllint is missing: scripts/setup installs libxml2-utils");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.xml"));
    QVERIFY(!saved(rows, path).startsWith("<failed"));
    QProcess lint;
    lint.start(xmllint, {QStringLiteral("--noout"), path});
    QVERIFY(lint.waitForFinished(60000));
    QCOMPARE(lint.readAllStandardError(), QByteArray());
    QCOMPARE(lint.exitCode(), 0);
#endif
}

// Packets as other writers shape them, and broken ones. error: a word of the reason, empty
// when the open succeeds. qt: QXmlStreamReader must come to the same records and verdict.
void TestXmlPacket::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<RecordRows>("rows");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("qt");
    const RecordRows one{recordRow("1", {"a"})};
    const QByteArray rowA = "<ROW RowState=\"4\" aNO=\"1\" aTime=\"a\"/>";
    const QByteArray rowB = "<ROW RowState=\"4\" aNO=\"2\" aTime=\"b\"/>";
    const RecordRows both{recordRow("1", {"a"}), recordRow("2", {"b"})};

    QTest::newRow("as saved") << packet(rowA + rowB) << both << "" << true;
    QTest::newRow("no rows") << packet("") << RecordRows{} << "" << true;
    QTest::newRow("whitespace everywhere, single quotes, attributes in any order")
        << QByteArray("<?xml version='1.0' standalone='yes'?>\r\n<DATAPACKET Version='2.0'>\n"
                      "  <METADATA>\n    <FIELDS>\n"
                      "      <FIELD fieldtype = \"i4\"\tattrname='aNO' />\n"
                      "      <FIELD WIDTH=\"20\" fieldtype=\"string\" attrname=\"aTime\"/>\n"
                      "    </FIELDS >\n    <PARAMS CHANGE_LOG=\"1 0 4\" />\n  </METADATA>\n"
                      "  <ROWDATA>\n    <ROW aTime='say \"hi\"' aNO=\"7\" RowState=\"4\"/>\n"
                      "  </ROWDATA>\n</DATAPACKET>\n")
        << RecordRows{recordRow("7", {"say \"hi\""})} << "" << true;
    QTest::newRow("no declaration, no RowState, other RowStates")
        << packetWithFields("<FIELD attrname=\"aNO\" fieldtype=\"i4\"/>",
                            "<ROW aNO=\"1\"/><ROW RowState=\"8\" aNO=\"2\"/>")
        << RecordRows{recordRow("1", {}), recordRow("2", {})} << "" << true;
    QTest::newRow("missing attributes are null, unknown ones ignored")
        << packet("<ROW RowState=\"4\" aFreq=\"f\" other=\"x\" afreq=\"y\"/>")
        << RecordRows{recordRow(Null, {Null, Null, Null, Null, Null, Null, Null, "f"})} << ""
        << true;
    QTest::newRow("fields match by position, not by name")
        << packetWithFields("<FIELD attrname=\"n\" fieldtype=\"i4\"/>"
                            "<FIELD attrname=\"when\" fieldtype=\"string\" WIDTH=\"40\"/>",
                            "<ROW n=\"9\" when=\"now\"/>")
        << RecordRows{recordRow("9", {"now"})} << "" << true;
    QTest::newRow("a text field first gives numbers to aNO")
        << packetWithFields("<FIELD attrname=\"t\" fieldtype=\"string\"/>"
                            "<FIELD attrname=\"n\" fieldtype=\"i2\"/>",
                            "<ROW t=\" 12 \" n=\"+0042\"/>")
        << RecordRows{recordRow("12", {"42"})} << "" << true;
    QTest::newRow("a text that is no number stops at its row, keeping those before")
        << packetWithFields("<FIELD attrname=\"t\" fieldtype=\"string\"/>",
                            "<ROW t=\"1\"/><ROW t=\"x\"/><ROW t=\"3\"/>")
        << RecordRows{recordRow("1", {})} << "row 2" << true;
    QTest::newRow("an integer too large for aNO stops at its row")
        << packetWithFields("<FIELD attrname=\"n\" fieldtype=\"i8\"/>",
                            "<ROW n=\"5\"/><ROW n=\"2147483648\"/>")
        << RecordRows{recordRow("5", {})} << "row 2" << true;
    QTest::newRow("ten fields and a row: more fields than the table")
        << packetWithFields(QByteArray("<FIELD attrname=\"aNO\" fieldtype=\"i4\"/>")
                                + "<FIELD attrname=\"f1\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f2\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f3\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f4\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f5\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f6\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f7\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f8\" fieldtype=\"string\"/>"
                                  "<FIELD attrname=\"f9\" fieldtype=\"string\"/>",
                            "<ROW aNO=\"1\"/>")
        << RecordRows{} << "more than the table" << true;
    QTest::newRow("a value its packet field cannot take: nothing at all")
        << packet(rowA + "<ROW aNO=\"x\"/>" + rowB) << RecordRows{} << "integer" << true;
    QTest::newRow("an integer out of its type's range: nothing at all")
        << packet(rowA + "<ROW aNO=\"2147483648\"/>") << RecordRows{} << "integer" << true;
    QTest::newRow("cut short after rows: nothing at all")
        << packet(rowA + rowB).chopped(int(strlen("</DATAPACKET>"))) << RecordRows{}
        << "ends before </DATAPACKET>" << true;
    QTest::newRow("cut inside a tag")
        << packet(rowA).left(Declaration.size() + 200) << RecordRows{} << "ends inside" << true;
    QTest::newRow("end tag of another element")
        << packet(rowA).replace("</ROWDATA>", "</ROWS>") << RecordRows{} << "</ROWS>" << true;
    QTest::newRow("an attribute twice")
        << packet("<ROW aNO=\"1\" aNO=\"2\"/>") << RecordRows{} << "twice" << true;
    QTest::newRow("attributes without a blank between")
        << packet("<ROW aNO=\"1\"aTime=\"2\"/>") << RecordRows{} << "attribute" << true;
    QTest::newRow("unquoted value") << packet("<ROW aNO=1/>") << RecordRows{} << "quoted" << true;
    QTest::newRow("< inside a value")
        << packet("<ROW aTime=\"a<b\"/>") << RecordRows{} << "<" << true;
    QTest::newRow("unknown entity")
        << packet("<ROW aTime=\"&nbsp;\"/>") << RecordRows{} << "reference" << true;
    QTest::newRow("reference to a character XML has not")
        << packet("<ROW aTime=\"&#1;\"/>") << RecordRows{} << "reference" << true;
    QTest::newRow("references")
        << packet("<ROW aTime=\"&lt;&gt;&amp;&apos;&quot;\" aMMode=\"&#65;&#x42;&#013;&#x3B8;\" "
                  "aMValue=\"&#010;&#009;&#092;&#x10FFFF;\"/>")
        << RecordRows{recordRow(Null, {"<>&'\"", "AB\r\xCE\xB8", "\n\t\\\xF4\x8F\xBF\xBF"})} << ""
        << true;
    QTest::newRow("line breaks and TABs written as they stand read as blanks")
        << packet("<ROW aTime=\"a\tb\nc\r\nd\re\" aMMode=\"&gt; > ok\"/>")
        << RecordRows{recordRow(Null, {"a b c d e", "> > ok"})} << "" << true;
    QTest::newRow("comments and processing instructions anywhere")
        << QByteArray("<?xml version=\"1.0\"?><!-- made by hand --><?pi data?>"
                      "<DATAPACKET><!----><METADATA><FIELDS><?x?>"
                      "<FIELD attrname=\"aNO\" fieldtype=\"i4\"><PARAM Name=\"p\"/></FIELD>"
                      "</FIELDS></METADATA><ROWDATA><!-- a - b --><ROW aNO=\"3\"><X/></ROW>"
                      "</ROWDATA></DATAPACKET><!-- end --><?end?>  ")
        << RecordRows{recordRow("3", {})} << "" << true;
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + packet(rowA) << one << "" << true;
    QTest::newRow("declaration after a blank")
        << " " + packet(rowA) << RecordRows{} << "declaration" << true;
    QTest::newRow("text inside the packet") << packet(rowA + "x") << RecordRows{} << "text" << true;
    QTest::newRow("text after the packet") << packet(rowA) + "x" << RecordRows{} << "text" << true;
    QTest::newRow("\"--\" inside a comment")
        << packet(rowA) + "<!-- a -- b -->" << RecordRows{} << "comment" << true;
    QTest::newRow("empty document") << QByteArray() << RecordRows{} << "ends before" << true;
    QTest::newRow("blanks only") << QByteArray(" \r\n") << RecordRows{} << "ends before" << true;
    QTest::newRow("two packets") << packet(rowA) + packet(rowB).mid(Declaration.size())
                                 << RecordRows{} << "after the end" << true;
    QTest::newRow("another root element")
        << QByteArray("<TABLE/>") << RecordRows{} << "no DATAPACKET" << true;
    QTest::newRow("no fields") << QByteArray(
        "<DATAPACKET><METADATA><FIELDS></FIELDS></METADATA><ROWDATA/>"
        "</DATAPACKET>") << RecordRows{}
                               << "no field" << true;
    QTest::newRow("no METADATA at all")
        << QByteArray("<DATAPACKET/>") << RecordRows{} << "no fields" << true;
    QTest::newRow("rows before the fields")
        << QByteArray("<DATAPACKET><ROWDATA/><METADATA/></DATAPACKET>") << RecordRows{}
        << "before the fields" << true;
    QTest::newRow("a field without its type")
        << packetWithFields("<FIELD attrname=\"aNO\"/>", "") << RecordRows{} << "fieldtype" << true;
    QTest::newRow("two fields of one name")
        << packetWithFields("<FIELD attrname=\"a\" fieldtype=\"i4\"/>"
                            "<FIELD attrname=\"a\" fieldtype=\"string\"/>",
                            "")
        << RecordRows{} << "two fields" << true;
    QTest::newRow("a packet without ROWDATA")
        << QByteArray("<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"aNO\" fieldtype=\"i4\"/>"
                      "</FIELDS></METADATA></DATAPACKET>")
        << RecordRows{} << "" << true;
    QTest::newRow("values cut at 20 characters")
        << packet("<ROW aTime=\"123456789012345678901234\" aMMode=\"&#x3B8;&#x3B8;&#x3B8;"
                  "&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;"
                  "&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;&#x3B8;\"/>")
        << RecordRows{recordRow(Null,
                                {"12345678901234567890", QByteArray("\xCE\xB8").repeated(20)})}
        << "" << true;
    // What only the full parser reads.
    QTest::newRow("document type with an entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY u \"nF\">]>") + Fields
               + "<PARAMS/></METADATA><ROWDATA><ROW aNO=\"1\" aMUnit=\"&u;\"/>" + Tail
        << RecordRows{recordRow("1", {Null, Null, Null, "nF"})} << "" << true;
    QTest::newRow("blank CDATA between rows")
        << packet(rowA + "<![CDATA[ \n ]]>" + rowB) << both << "" << true;
    QTest::newRow("a reference between rows")
        << packet(rowA + "&#32;" + rowB) << both << "" << true;
    QTest::newRow("a character reference that is text")
        << packet(rowA + "&#65;") << RecordRows{} << "text" << true;
    // Leniencies of the direct reader, which packets rely on.
    QTest::newRow("control characters stand in values as the packet form writes them")
        << packet("<ROW aTime=\"a\x01\x1F"
                  "b\"/>")
        << RecordRows{recordRow(Null, {"a\x01\x1F"
                                       "b"})}
        << "" << false;
    QTest::newRow("bytes of another code page pass through")
        << packet("<ROW aTime=\"r\xE9sistance\" aMUnit=\"\xB5"
                  "F\"/>")
        << RecordRows{recordRow(Null, {"r\xE9sistance", Null, Null,
                                       "\xB5"
                                       "F"})}
        << "" << true;
    // Whichever reader reads a packet, its values keep their bytes, whatever the declaration.
    const QByteArray doctype = "<!DOCTYPE DATAPACKET>";
    const QByteArray latin = "<ROW aNO=\"1\" aTime=\"r\xE9sistance \xB5"
                             "F\"/>";
    const RecordRows latinRow{recordRow("1", {"r\xE9sistance \xB5"
                                              "F"})};
    QTest::newRow("full parser: bytes under a Latin-1 declaration")
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + doctype
               + packet(latin).mid(Declaration.size())
        << latinRow << "" << true;
    QTest::newRow("full parser: bytes without an encoding")
        << packet(latin).replace("<DATAPACKET", doctype + "<DATAPACKET") << latinRow << "" << true;
    QTest::newRow("full parser: bytes beside CDATA")
        << packet(latin + "<![CDATA[ ]]>") << latinRow << "" << true;
    QTest::newRow("full parser: UTF-8 bytes stay as they are")
        << packet("<ROW aTime=\"\xCE\xB8 \xC3\xA9\"/>")
               .replace("<DATAPACKET", doctype + "<DATAPACKET")
        << RecordRows{recordRow(Null, {"\xCE\xB8 \xC3\xA9"})} << "" << true;
    QTest::newRow("full parser: a character reference is its character")
        << packet("<ROW aTime=\"&#233;\xE9\"/>").replace("<DATAPACKET", doctype + "<DATAPACKET")
        << RecordRows{recordRow(Null, {"\xC3\xA9\xE9"})} << "" << true;
    QTest::newRow("zero byte in a value")
        << packet(QByteArray("<ROW aTime=\"a\0b\"/>", 19)) << RecordRows{} << "zero" << true;
}

void TestXmlPacket::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(RecordRows, rows);
    QFETCH(QString, error);
    QFETCH(bool, qt);
    for (qint64 step : {qint64(1) << 30, qint64(1), qint64(2), qint64(3), qint64(7), qint64(64)}) {
        TrickleDevice device(bytes, step);
        const Read r = readWith(device);
        const QByteArray where = "pieces of " + QByteArray::number(step) + ": ";
        QVERIFY2(r.ok == error.isEmpty(), where + r.error.toUtf8());
        QVERIFY2(r.error.contains(error), where + r.error.toUtf8());
        QVERIFY2(r.rows == rows, where + QByteArray::number(r.rows.size()) + " rows");
    }
    if (qt) {
        const Read r = readWithQt(bytes);
        QVERIFY2(r.ok == error.isEmpty(), "QXmlStreamReader: " + r.error.toUtf8());
        QVERIFY2(r.rows == rows, "QXmlStreamReader");
    }
}

// What a save writes opens to the same records, byte for byte.
void TestXmlPacket::savedPacketsReadBack_data()
{
    QTest::addColumn<RecordRows>("rows");
    const QByteArrayList high = highBytes();
    QTest::newRow("escapes and nulls")
        << RecordRows{recordRow("-2147483648", {"<>&'\"", "\r\n\t\\", "a&amp;b", " x ", Null, "",
                                                "&#9;", "\x01\x7F"}),
                      recordRow(Null, {})};
    QTest::newRow("bytes 0x80 to 0xFF") << RecordRows{recordRow(
        "1", {high[0], high[1], high[2], high[3], high[4], high[5], high[6], "\xCE\xB8"})};
}

void TestXmlPacket::savedPacketsReadBack()
{
    QFETCH(RecordRows, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.xml"));
    const QByteArray bytes = saved(rows, path);
    QVERIFY(!bytes.startsWith("<failed"));
    for (qint64 step : {qint64(1) << 30, qint64(1), qint64(5)}) {
        TrickleDevice device(bytes, step);
        const Read r = readWith(device);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.rows, rows);
    }
}

QTEST_GUILESS_MAIN(TestXmlPacket)
#include "tst_xmlpacket.moc"
