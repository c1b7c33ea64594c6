#include "txmlpacket.h"

#include "trecordtable.h"

#include <array>
#include <charconv>

namespace {

// The replacement of each byte that has one, by byte value.
const std::array<const char *, 256> &replacements()
{
    static const std::array<const char *, 256> table = [] {
        std::array<const char *, 256> t{};
        t['<'] = "&lt;";
        t['>'] = "&gt;";
        t['&'] = "&amp;";
        t['\''] = "&apos;";
        t['"'] = "&quot;";
        t['\r'] = "&#013;";
        t['\n'] = "&#010;";
        t['\t'] = "&#009;";
        t['\\'] = "&#092;";
        return t;
    }();
    return table;
}

} // namespace

void AppendXmlPacketHead(QByteArray &out)
{
    out += "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>"
           "<FIELDS>";
    for (int f = 0; f < TRecordTable::FieldCount; ++f) {
        out += "<FIELD attrname=\"";
        out += TRecordTable::FieldName(f).toLatin1();
        out += f == TRecordTable::aNO ? "\" fieldtype=\"i4\"/>"
                                      : "\" fieldtype=\"string\" WIDTH=\"20\"/>";
    }
    out += "</FIELDS>";
}

void AppendXmlChangeLog(qsizetype first, qsizetype last, QByteArray &out)
{
    char number[24];
    for (qsizetype n = first; n <= last; ++n) {
        if (n > first)
            out.append(' ');
        const char *end = std::to_chars(number, number + sizeof number, n).ptr;
        out.append(number, end - number);
        out.append(" 0 4", 4);
    }
}

void AppendXmlEscaped(QByteArrayView value, QByteArray &out)
{
    const auto &replace = replacements();
    const char *run = value.data();
    const char *const end = run + value.size();
    for (const char *p = run; p < end; ++p) {
        const char *with = replace[std::uint8_t(*p)];
        if (!with)
            continue;
        out.append(run, p - run);
        out.append(with);
        run = p + 1;
    }
    out.append(run, end - run);
}

void AppendXmlRow(const TRecordTable &table, qsizetype row, QByteArray &out)
{
    // Attribute names with their lead-in, made once.
    static const std::array<QByteArray, TRecordTable::FieldCount> names = [] {
        std::array<QByteArray, TRecordTable::FieldCount> n;
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            n[std::size_t(f)] = ' ' + TRecordTable::FieldName(f).toLatin1() + "=\"";
        return n;
    }();
    char buffer[TRecordTable::MaxFieldBytes];
    out.append("<ROW RowState=\"4\"", 17);
    for (int f = 0; f < TRecordTable::FieldCount; ++f) {
        const int n = table.CopyBytesAt(row, f, buffer);
        if (n < 0)
            continue; // a null field has no attribute
        out.append(names[std::size_t(f)]);
        AppendXmlEscaped(QByteArrayView(buffer, n), out);
        out.append('"');
    }
    out.append("/>", 2);
}
