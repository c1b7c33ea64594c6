#include "trecordfilewriter.h"

#include "trecordtable.h"
#include "ttextrecords.h"
#include "txmlpacket.h"

TRecordFileWriter::TRecordFileWriter(const TRecordTable &table, TRecordFileForm form,
                                     QStringList titles)
    : Table_(table)
    , Form_(form)
    , Titles_(titles.isEmpty() ? TextFileTitles() : std::move(titles))
    , Rows_(table.RecordCount())
{}

bool TRecordFileWriter::Produce(QByteArray &out, qsizetype minBytes)
{
    const bool xml = Form_ == TRecordFileForm::Xml;
    while (Phase_ != Phase::Finished && out.size() < minBytes) {
        switch (Phase_) {
        case Phase::Head:
            if (!xml) {
                out += TextHeaderLine(Titles_);
                Phase_ = Phase::Rows;
                break;
            }
            AppendXmlPacketHead(out);
            out += Rows_ > 0 ? XmlParamsOpen : XmlParamsEmpty;
            Phase_ = Rows_ > 0 ? Phase::ChangeLog : Phase::Rows;
            if (Rows_ == 0)
                out += XmlRowDataOpen;
            break;
        case Phase::ChangeLog: {
            // In runs, so a change log of a million triples is never made in one piece.
            const qsizetype last = std::min(Rows_, Next_ + 4096);
            if (Next_ > 0)
                out.append(' ');
            AppendXmlChangeLog(Next_ + 1, last, out);
            Next_ = last;
            if (Next_ == Rows_) {
                out += XmlParamsClose;
                out += XmlRowDataOpen;
                Next_ = 0;
                Phase_ = Phase::Rows;
            }
            break;
        }
        case Phase::Rows:
            while (Next_ < Rows_ && out.size() < minBytes) {
                if (xml)
                    AppendXmlRow(Table_, Next_, out);
                else
                    AppendTextRow(Table_, Next_, out);
                ++Next_;
            }
            if (Next_ == Rows_)
                Phase_ = Phase::Tail;
            break;
        case Phase::Tail:
            if (xml)
                out += XmlPacketTail;
            Phase_ = Phase::Finished;
            break;
        case Phase::Finished:
            break;
        }
    }
    return Phase_ == Phase::Finished;
}
