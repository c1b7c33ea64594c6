#pragma once

#include <QFrame>
#include <QString>

class QLineEdit;
class QTimer;
class QToolButton;
class TChartControl;
class TPagedChart;
class TSavePictureDialog;
class TToolBar;

// The trend chart and its tool bar: points per page, paging, saving the picture. The paging
// itself is the session's chart control, handed in once the window has a session.
class TChartPanel : public QFrame
{
    Q_OBJECT
public:
    static constexpr int DefaultPageSize = 100;

    explicit TChartPanel(QWidget *parent);

    TPagedChart &Engine() const { return *Chart1; }
    // The control that pages the chart; decimalSep is the one key besides digits "Range" takes.
    void SetControl(TChartControl *control, const QString &decimalSep);
    // The chart now shows page.
    void ShowPage(int page);

    TToolBar *ToolBar2;
    QLineEdit *edtRange;
    QToolButton *btnFirst;
    QToolButton *btnPrevious;
    QLineEdit *edtCurPage;
    QToolButton *btnNext;
    QToolButton *btnLast;
    QToolButton *btnNew;
    QToolButton *btnSave;
    QToolButton *btnFly;
    QToolButton *btnChartZoomOut;
    TPagedChart *Chart1;
    QTimer *Timer_range;

private:
    bool edtRangeKeyPress(QChar Key) const;
    void edtRangeChange();
    void Timer_rangeTimer();
    void btnFirstClick();
    void btnPreviousClick();
    void btnNextClick();
    void btnLastClick();
    void btnSaveClick();

    TChartControl *Control_ = nullptr;
    QString DecimalSep_;
    TSavePictureDialog *SavePictureDialog1;
};
