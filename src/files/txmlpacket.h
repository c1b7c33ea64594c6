#pragma once

#include <QByteArray>
#include <QByteArrayView>

class TRecordTable;

// The XML data packet form of the record table (".xml" files): one line of 8-bit text holding
// the declaration, the nine field definitions, the change log and one ROW element per record.
// Written by hand, piece by piece, because the bytes of the form are fixed: other programs
// that read these packets expect exactly them.

// The declaration, two spaces, and the packet up to the end of FIELDS.
void AppendXmlPacketHead(QByteArray &out);
// The change log's triples for records first to last (1-based), each "n 0 4", separated by
// single spaces; the caller puts the space between two runs.
void AppendXmlChangeLog(qsizetype first, qsizetype last, QByteArray &out);
// The pieces between FIELDS and the first ROW, and after the last: PARAMS carries the change
// log (one triple a record) in its one attribute, or no attribute at all on an empty table.
inline constexpr char XmlParamsOpen[] = "<PARAMS CHANGE_LOG=\"";
inline constexpr char XmlParamsClose[] = "\"/>";
inline constexpr char XmlParamsEmpty[] = "<PARAMS/>";
inline constexpr char XmlRowDataOpen[] = "</METADATA><ROWDATA>";
inline constexpr char XmlPacketTail[] = "</ROWDATA></DATAPACKET>";
// One record as its ROW element: RowState "4", then one attribute per field that is not null.
void AppendXmlRow(const TRecordTable &table, qsizetype row, QByteArray &out);
// An attribute value with < > & ' " CR LF TAB and backslash replaced; every other byte,
// 0x80 to 0xFF included, as it stands.
void AppendXmlEscaped(QByteArrayView value, QByteArray &out);
