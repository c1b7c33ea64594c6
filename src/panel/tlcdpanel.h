#pragma once

#include "tmeterhooks.h"
#include "tmeterstate.h"

#include <QFrame>
#include <QString>
#include <array>

class QLabel;
class QProgressBar;
class TLcdPicture;
class TSevenSegment;

// The virtual LCD: mirrors the meter's own display. It keeps no state of its own; the decoder's
// refreshes set every element from the latched TMeterState.
class TLcdPanel : public QFrame
{
    Q_OBJECT
public:
    explicit TLcdPanel(QWidget *parent = nullptr);

    // Fills the unit label table (done once, when the main window is created).
    void FillUnitLabels();
    const std::array<QString, UnitCount> &UnitLabels() const { return UnitLabels_; }

    // Redraws the changed parts of the display from s, in the order the decoder latches them.
    void ShowDisplay(const TMeterState &s, TDisplayChanges changes, const QString &decimalSep);

    void ShowHold(const TMeterState &s);
    void ShowRelative(const TMeterState &s);
    void ShowLcr(const TMeterState &s);
    void ShowAuto(const TMeterState &s);
    void ShowBattery(const TMeterState &s);
    void ShowFrequency(const TMeterState &s);
    void ShowSorting(const TMeterState &s);
    void ShowMainMode(const TMeterState &s);
    void ShowMainUnit(const TMeterState &s);
    // Sets the main reading and the bar.
    void ShowMainStatus(const TMeterState &s, const QString &decimalSep);
    // Sets the main reading alone (a recorded reading the Cp rule rewrote).
    void ShowMainReading(const TMeterState &s);
    void ShowSubMode(const TMeterState &s);
    void ShowSubUnit(const TMeterState &s);
    void ShowSubStatus(const TMeterState &s);
    void SetBarMax(int fullScale);
    void ToggleActivity();
    // The "USB" mark, shown while a bridge is connected.
    void ShowUsbMark(bool visible);

    QSize sizeHint() const override;

private:
    // The reading boxes pass the focus on: a reading is looked at, never edited.
    void lcdMDispEnter();
    void lcdSDispEnter();
    void passFocusOn(QWidget *from);
    void setBar(int fullScale, qint64 position);
    QString unitLabel(int code) const;

    std::array<QString, UnitCount> UnitLabels_;

    TLcdPicture *CONokN;
    TLcdPicture *CONok;
    QLabel *lcdHold;
    QLabel *lcdAuto;
    QLabel *lcdLCR;
    QLabel *lcdRel;
    QLabel *lcdMMode;
    TSevenSegment *lcdMDisp;
    QLabel *lcdMUnit;
    QLabel *lcdSorting;
    QLabel *lcdTol;
    QLabel *lcdJianhao;
    QLabel *lcdJiahao;
    QLabel *lcdSortp;
    QLabel *lcdSMod;
    TSevenSegment *lcdSDisp;
    QLabel *lcdSUnit;
    QLabel *lcdBat3;
    QLabel *lcdBat2;
    QLabel *lcdBat1;
    QLabel *lcdRS232;
    TLcdPicture *lcdBat0;
    QLabel *lcdFREQ;
    QFrame *pnlBar;
    QProgressBar *lcdBar;
};
