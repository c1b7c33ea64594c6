// Any bytes as a record file, in both forms and cut into pieces anywhere: the readers must not
// crash, hang or hold memory out of proportion to the input; the result must not depend on
// how the input was cut; QXmlStreamReader must read a packet both take to the same records;
// and whatever a reader took must save and read back unchanged.
#include "fuzzdictionary.h"
#include "trecordfiles.h"
#include "trecordfilewriter.h"
#include "trecordtable.h"
#include "ttextrecords.h"
#include "txmlpacketreader.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

using RowList = QList<QByteArrayList>;

RowList rowsOf(const TRecordTable &table)
{
    RowList rows;
    for (qsizetype r = 0; r < table.RecordCount(); ++r) {
        QByteArrayList row;
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            row << (table.IsNullAt(r, f) ? QByteArray("<null>") : table.BytesAt(r, f));
        rows << row;
    }
    return rows;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Outcome
{
    bool Ok = false;
    RowList Rows;
    bool operator==(const Outcome &) const = default;
};

// Reads through the same path as an open, with the bytes handed over `step` at a time.
class PieceDevice : public QBuffer
{
public:
    PieceDevice(const QByteArray &bytes, qint64 step)
        : Step_(step)
    {
        setData(bytes);
        open(QIODevice::ReadOnly);
    }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        return QBuffer::readData(data, std::min(max, Step_));
    }

private:
    qint64 Step_;
};

Outcome read(const QByteArray &bytes, TRecordFileForm form, qint64 step, TRecordTable &table)
{
    PieceDevice device(bytes, step);
    const TOpenOutcome o = ReadRecordFile(device, form, table);
    // However the input looks, the table holds no more than its rows need and the text it
    // came with.
    check(table.MemoryUsage() <= 512 * 1024 + 64 * std::size_t(bytes.size()));
    check(o.Ok || !o.Error.isEmpty());
    return {o.Ok, rowsOf(table)};
}

QByteArray written(const TRecordTable &table, TRecordFileForm form)
{
    TRecordFileWriter writer(table, form);
    QByteArray bytes;
    while (!writer.Produce(bytes, 1 << 16)) {
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qint64 step = size ? 1 + data[0] % 97 : 1;
    for (TRecordFileForm form : {TRecordFileForm::Text, TRecordFileForm::Xml}) {
        TRecordTable whole, cut;
        const Outcome a = read(bytes, form, qint64(1) << 30, whole);
        const Outcome b = read(bytes, form, step, cut);
        check(a == b);
        // Where the full parser and the direct reader both take a packet, they take the same
        // rows. (Each accepts a little the other does not: the direct reader control
        // characters and any 8-bit bytes, QXmlStreamReader odd attribute names; that is no
        // fault of either.)
        if (form == TRecordFileForm::Xml && a.Ok) {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            TRecordTable qt;
            if (ReadXmlPacketWithQt(buffer, qt, nullptr))
                check(rowsOf(qt) == a.Rows);
        }
        if (!a.Ok || whole.RecordCount() == 0)
            continue;
        // What was read saves and reads back: the XML form unchanged, the text form as the
        // text form keeps it (which the text it was read from already was).
        TRecordTable again;
        const Outcome c = read(written(whole, TRecordFileForm::Xml), TRecordFileForm::Xml,
                               qint64(1) << 30, again);
        check(c.Ok && c.Rows == a.Rows);
        if (form == TRecordFileForm::Text) {
            const QByteArray text = written(whole, TRecordFileForm::Text);
            TRecordTable fromText;
            const Outcome d = read(text, TRecordFileForm::Text, qint64(1) << 30, fromText);
            if (d.Ok)
                check(written(fromText, TRecordFileForm::Text) == text);
        }
    }
    return 0;
}

TFuzzDictionary fuzzDictionary()
{
    TFuzzDictionary d;
    d.Seeds = {
        QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
                   "<METADATA><FIELDS><FIELD attrname=\"aNO\" fieldtype=\"i4\"/>"
                   "<FIELD attrname=\"aTime\" fieldtype=\"string\" WIDTH=\"20\"/>"
                   "<FIELD attrname=\"aMMode\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS>"
                   "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
                   "<ROW RowState=\"4\" aNO=\"1\" aTime=\"2026-12-08 09:05:07\" aMMode=\"Cp\"/>"
                   "<ROW RowState=\"4\" aNO=\"-2\" aTime=\"&lt;&amp;&#013;&#x3B8;\"/>"
                   "</ROWDATA></DATAPACKET>"),
        QByteArray("<!DOCTYPE DATAPACKET [<!ENTITY e \"nF\">]><DATAPACKET><METADATA><FIELDS>"
                   "<FIELD attrname=\"n\" fieldtype=\"string\"/></FIELDS></METADATA><ROWDATA>"
                   "<ROW n=\"&e;\"/><![CDATA[ ]]></ROWDATA></DATAPACKET>"),
        QByteArray("NO\tTime\tMMode\tMValue\tMUnit\tSMode\tSValue\tSUnit\tFreq\r\n"
                   "1\t2026-12-08 09:05:07\tCp\t123.4\tnF\tD\t0.012\t\t1KHz\r\n"
                   "2\t2026-12-08 09:05:08\tLs\tOL\tmH\tQ\t-\t\t100Hz\r\n"),
    };
    d.Markers = {"<ROW ",
                 "/>",
                 "\"",
                 "'",
                 "=",
                 " ",
                 "&amp;",
                 "&#x3B8;",
                 "&#0;",
                 "<!--",
                 "-->",
                 "<?x?>",
                 "<![CDATA[",
                 "]]>",
                 "</ROWDATA>",
                 "</DATAPACKET>",
                 "<FIELD attrname=\"x\" fieldtype=\"i4\"/>",
                 "\t",
                 "\r\n",
                 "\r",
                 "\n",
                 QByteArray(1, '\0'),
                 "\xEF\xBB\xBF",
                 "\xE9"};
    d.Rounds = 20000;
    return d;
}
