// The main window's record table and recording controls.
#include "tfrmmain.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QStandardItemModel>
#include <QTableView>

bool TfrmMain::RecordEveryFrame() const
{
    return cbRepeat->isChecked();
}

void TfrmMain::RecordReading(TMeterState &) {}

void TfrmMain::CreateRecordTable()
{
    static const char *const titles[] = {"NO",    "Time",   "MMode", "MValue", "MUnit",
                                         "SMode", "SValue", "SUnit", "Freq"};
    static constexpr int widths[] = {36, 103, 43, 43, 35, 39, 40, 34};
    RecordModel_ = new QStandardItemModel(0, 9, this);
    for (int c = 0; c < 9; ++c)
        RecordModel_->setHeaderData(c, Qt::Horizontal, QLatin1String(titles[c]));
    DBGrid1->setModel(RecordModel_);
    for (int c = 0; c < 8; ++c)
        DBGrid1->setColumnWidth(c, widths[c]);
    // The frequency column keeps the grid's default for a 20-character field.
    const QFontMetrics fm(DBGrid1->font());
    DBGrid1->setColumnWidth(8, std::max(20 * fm.horizontalAdvance(QLatin1Char('0')) + 4,
                                        fm.horizontalAdvance(QStringLiteral("Freq")) + 4));
}

void TfrmMain::cbRepeatClick() {}
void TfrmMain::cbIntervalClick() {}
void TfrmMain::edtRecIntervalChange() {}
void TfrmMain::timerInputDelayTimer() {}
void TfrmMain::btnRecordNewClick() {}
void TfrmMain::btnRecordOpenClick() {}
void TfrmMain::btnRecordSaveClick() {}
void TfrmMain::btnRecordPrintClick() {}
void TfrmMain::btnRecordFlyClick() {}
void TfrmMain::btnGridZoomoutClick() {}
