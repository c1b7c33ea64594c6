#pragma once

#include "trecordingpolicy.h"

#include <QFrame>
#include <QStringList>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QToolButton;
class TRecordModel;
class TRecordTable;
class TToolBar;

// The record grid and its tool bar: how readings are taken ("Repeat", "Sampling Interval") and
// the buttons for the records. What the buttons do is the window's; the check boxes show one
// recording mode, which the session is told of through ModeChanged.
class TRecordPanel : public QFrame
{
    Q_OBJECT
public:
    explicit TRecordPanel(QWidget *parent);

    // Shows the table in the grid, which follows its current row.
    void SetTable(TRecordTable *table);
    // The interval typed, in seconds: a valid one, else 1.
    qint64 IntervalSeconds() const;
    // What the check boxes and the seconds box (as last applied) choose.
    const TRecordingMode &Mode() const { return Mode_; }
    // The text form's header: the grid's titles in the order the grid shows them.
    QStringList GridTitles() const;
    // One reading per part takes the place of "Repeat" and "Sampling Interval": they are
    // cleared and disabled while it is on, and come back as they were when it is turned off.
    void SetPerPart(bool on);
    // The rows selected in the grid, 0-based and ascending.
    std::vector<qsizetype> SelectedRows() const;
    // Selects these rows (0-based) in the grid, alone, and brings the first into view.
    void SelectRows(const QList<std::int32_t> &rows);

    // Both Clear buttons' key; the chart's takes it only while it is shown alone.
    static constexpr QKeyCombination ClearKey = Qt::CTRL | Qt::Key_L;

    TToolBar *ToolBar4;
    QCheckBox *cbRepeat;
    QCheckBox *cbInterval;
    QLineEdit *edtRecInterval;
    QLabel *TntLabel1;
    QToolButton *btnRecordNew;
    QToolButton *btnRecordOpen;
    QToolButton *btnRecordSave;
    QToolButton *btnRecordPrint;
    QToolButton *btnRecordFly;
    QToolButton *btnGridZoomout;
    QTableView *DBGrid1;
    QTimer *timerInputDelay;

signals:
    void ModeChanged(const TRecordingMode &mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static bool edtRecIntervalKeyPress(QChar Key);
    void cbRepeatClick();
    void cbIntervalClick();
    void edtRecIntervalChange();
    void timerInputDelayTimer();
    // The check boxes show mode, which is told on when it differs from the one before.
    void setMode(const TRecordingMode &mode);
    void FollowCurrentRow(qsizetype row);

    TRecordModel *Data1 = nullptr; // binds the table to DBGrid1
    qsizetype GridRow_ = -1;
    TRecordingMode Mode_;
    TRecordingMode::TKind SavedKind_ = TRecordingMode::EveryFrame; // under one reading per part
    bool Showing_ = false; // the boxes are being set to show Mode_
    bool GridFollowPending_ = false;
};
