#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;
class TFileDialog;
class TTrendPlot;
class TTrendSeries;

// Every reading of the session for a closer look than the paged chart gives: zoom, pan, the
// value axis in the reading's unit, time or record number, a crosshair, two markers, the
// secondary reading, the figures of what is in view, and the view as PNG, PDF or on the
// clipboard. Not modal: readings go on arriving and the view follows them.
class TfrmTrend : public QWidget
{
    Q_OBJECT
public:
    TfrmTrend(const TTrendSeries &series, QWidget *parent);

    // The series has grown or been emptied.
    void DataChanged();

    TTrendPlot *Plot;
    QToolButton *btnZoomIn;
    QToolButton *btnZoomOut;
    QToolButton *btnAll;
    QToolButton *btnHome;
    QCheckBox *cbAutoscale;
    QCheckBox *cbLog;
    QComboBox *cbbAxis;     // "Record number", "Time"
    QComboBox *cbbQuantity; // "Most in view", then the quantities seen
    QCheckBox *cbSecondary;
    QToolButton *btnClearMarkers;
    QToolButton *btnSavePng;
    QToolButton *btnSavePng2x;
    QToolButton *btnSavePdf;
    QToolButton *btnCopy;
    QLabel *lblStats;
    QLabel *lblNotShown;
    QLabel *lblPointer;
    QLabel *lblMarkers;
    TFileDialog *SaveDialog;

    // What the save buttons do, once a name is chosen; false with the reason shown.
    bool SaveImage(const QString &fileName, qreal ratio);
    bool SavePdf(const QString &fileName);
    void CopyToClipboard();

private:
    void viewChanged();
    void fillQuantities();
    void saveClicked(const QString &filter, const QString &ext, qreal ratio, bool pdf);
    void showError(const QString &text);
};
