#include "tfrmtrend.h"

#include "newmessagedlg.h"
#include "tfiledialog.h"
#include "ttrendplot.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QImageWriter>
#include <QLabel>
#include <QSaveFile>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *button(const QString &name, const QString &text, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // the keys are the plot's
    return b;
}

QLabel *line(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Long readouts wrap rather than widen the window past a small screen.
    l->setWordWrap(true);
    return l;
}

} // namespace

TfrmTrend::TfrmTrend(const TTrendSeries &series, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QStringLiteral("Trend"));
    Plot = new TTrendPlot(series, this);

    btnZoomIn = button(QStringLiteral("btnZoomIn"), QStringLiteral("Zoom in"),
                       QStringLiteral("Closer in time (+; the wheel at the pointer)"), this);
    btnZoomOut = button(QStringLiteral("btnZoomOut"), QStringLiteral("Zoom out"),
                        QStringLiteral("Further out (-)"), this);
    btnAll = button(QStringLiteral("btnAll"), QStringLiteral("All"),
                    QStringLiteral("Every reading since the chart was cleared"), this);
    btnHome = button(QStringLiteral("btnHome"), QStringLiteral("Home"),
                     QStringLiteral("Follow the newest readings (Home)"), this);
    cbAutoscale = new QCheckBox(QStringLiteral("Autoscale"), this);
    cbAutoscale->setObjectName(QStringLiteral("cbAutoscale"));
    cbAutoscale->setToolTip(QStringLiteral("The value axis follows what is in view; "
                                           "Ctrl+wheel or a Shift-drag fixes it"));
    cbAutoscale->setChecked(true);
    cbLog = new QCheckBox(QStringLiteral("Log"), this);
    cbLog->setObjectName(QStringLiteral("cbLog"));
    cbbAxis = new QComboBox(this);
    cbbAxis->setObjectName(QStringLiteral("cbbAxis"));
    cbbAxis->addItems({QStringLiteral("Record number"), QStringLiteral("Time")});
    cbbQuantity = new QComboBox(this);
    cbbQuantity->setObjectName(QStringLiteral("cbbQuantity"));
    cbbQuantity->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbSecondary = new QCheckBox(QStringLiteral("Secondary"), this);
    cbSecondary->setObjectName(QStringLiteral("cbSecondary"));
    cbSecondary->setToolTip(QStringLiteral("The secondary reading (D, Q, ESR, phase) on an axis "
                                           "of its own at the right"));
    btnClearMarkers =
        button(QStringLiteral("btnClearMarkers"), QStringLiteral("Clear markers"),
               QStringLiteral("A click in the plot sets a marker (Esc clears)"), this);
    btnSavePng = button(QStringLiteral("btnSavePng"), QStringLiteral("PNG"),
                        QStringLiteral("Save the view as a PNG picture"), this);
    btnSavePng2x = button(QStringLiteral("btnSavePng2x"), QStringLiteral("PNG 2x"),
                          QStringLiteral("Save the view as a PNG picture at twice the size"), this);
    btnSavePdf = button(QStringLiteral("btnSavePdf"), QStringLiteral("PDF"),
                        QStringLiteral("Save the view as a PDF page (vector)"), this);
    btnCopy = button(QStringLiteral("btnCopy"), QStringLiteral("Copy"),
                     QStringLiteral("Copy the view to the clipboard"), this);

    // A tool bar folds what does not fit behind its arrow, so the window fits a small screen.
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbTrend"));
    bar->setFloatable(false);
    bar->setMovable(false);
    for (QWidget *w : std::initializer_list<QWidget *>{btnZoomIn, btnZoomOut, btnAll, btnHome})
        bar->addWidget(w);
    bar->addSeparator();
    for (QWidget *w : std::initializer_list<QWidget *>{cbAutoscale, cbLog, cbbAxis, cbbQuantity,
                                                       cbSecondary, btnClearMarkers})
        bar->addWidget(w);
    bar->addSeparator();
    for (QWidget *w : {btnSavePng, btnSavePng2x, btnSavePdf, btnCopy})
        bar->addWidget(w);

    lblStats = line(QStringLiteral("lblStats"), this);
    lblNotShown = line(QStringLiteral("lblNotShown"), this);
    lblNotShown->setStyleSheet(QStringLiteral("color: #a03030"));
    lblPointer = line(QStringLiteral("lblPointer"), this);
    lblMarkers = line(QStringLiteral("lblMarkers"), this);
    auto *l = new QVBoxLayout(this);
    l->addWidget(bar);
    l->addWidget(Plot, 1);
    l->addWidget(lblStats);
    l->addWidget(lblNotShown);
    l->addWidget(lblPointer);
    l->addWidget(lblMarkers);
    resize(940, 600);

    SaveDialog = new TFileDialog(TFileDialog::TKind::Save, QStringLiteral("SaveTrendDialog"), this);

    connect(Plot, &TTrendPlot::viewChanged, this, &TfrmTrend::viewChanged);
    connect(btnZoomIn, &QToolButton::clicked, Plot, [this] { Plot->zoomX(0.5); });
    connect(btnZoomOut, &QToolButton::clicked, Plot, [this] { Plot->zoomX(2); });
    connect(btnAll, &QToolButton::clicked, Plot, &TTrendPlot::showAll);
    connect(btnHome, &QToolButton::clicked, Plot, &TTrendPlot::home);
    connect(cbAutoscale, &QCheckBox::toggled, Plot, &TTrendPlot::setAutoscale);
    connect(cbLog, &QCheckBox::toggled, Plot, &TTrendPlot::setLog);
    connect(cbSecondary, &QCheckBox::toggled, Plot, &TTrendPlot::setSecondary);
    connect(cbbAxis, &QComboBox::currentIndexChanged, Plot,
            [this](int i) { Plot->setByTime(i == 1); });
    connect(cbbQuantity, &QComboBox::activated, Plot, [this](int i) {
        const int q = cbbQuantity->itemData(i).toInt();
        Plot->setQuantity(q < 0 ? std::nullopt : std::optional(TTrendQuantity(q)));
    });
    connect(btnClearMarkers, &QToolButton::clicked, Plot, &TTrendPlot::clearMarkers);
    connect(btnSavePng, &QToolButton::clicked, this, [this] {
        saveClicked(QStringLiteral("PNG pictures (*.png)|*.png"), QStringLiteral("png"), 1, false);
    });
    connect(btnSavePng2x, &QToolButton::clicked, this, [this] {
        saveClicked(QStringLiteral("PNG pictures (*.png)|*.png"), QStringLiteral("png"), 2, false);
    });
    connect(btnSavePdf, &QToolButton::clicked, this, [this] {
        saveClicked(QStringLiteral("PDF files (*.pdf)|*.pdf"), QStringLiteral("pdf"), 1, true);
    });
    connect(btnCopy, &QToolButton::clicked, this, &TfrmTrend::CopyToClipboard);
    fillQuantities();
    Plot->setFocus();
}

void TfrmTrend::DataChanged()
{
    Plot->dataChanged();
}

void TfrmTrend::fillQuantities()
{
    // "Most in view", then each quantity the main reading has had, in the order they came.
    QList<int> wanted{-1};
    for (const TTrendQuantity q : Plot->series().quantities(tcMain))
        if (q != TTrendQuantity::None)
            wanted << int(q);
    bool same = cbbQuantity->count() == wanted.size();
    for (int i = 0; same && i < wanted.size(); ++i)
        same = cbbQuantity->itemData(i).toInt() == wanted[i];
    if (same)
        return;
    const int chosen =
        cbbQuantity->currentData().isValid() ? cbbQuantity->currentData().toInt() : -1;
    const QSignalBlocker block(cbbQuantity);
    cbbQuantity->clear();
    for (const int q : wanted)
        cbbQuantity->addItem(
            q < 0 ? QStringLiteral("Most in view")
                  : QStringLiteral("%1 (%2)").arg(TrendQuantityName(TTrendQuantity(q)),
                                                  TrendQuantityUnit(TTrendQuantity(q))),
            q);
    cbbQuantity->setCurrentIndex(std::max(0, cbbQuantity->findData(chosen)));
}

void TfrmTrend::viewChanged()
{
    fillQuantities();
    {
        // The box shows what the plot does; Ctrl+wheel and rectangles turn autoscaling off.
        const QSignalBlocker block(cbAutoscale);
        cbAutoscale->setChecked(Plot->autoscale());
    }
    lblStats->setText(Plot->statsText());
    lblNotShown->setText(Plot->notShownText());
    lblPointer->setText(Plot->pointerText());
    lblMarkers->setText(Plot->markerText());
}

bool TfrmTrend::SaveImage(const QString &fileName, qreal ratio)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        showError(QStringLiteral("Cannot create file \"%1\". %2")
                      .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    QImage image = Plot->toImage(ratio);
    if (!image.save(&file, "PNG") || !file.commit()) {
        showError(QStringLiteral("Cannot write file \"%1\". %2")
                      .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    return true;
}

bool TfrmTrend::SavePdf(const QString &fileName)
{
    QString error;
    if (!Plot->savePdf(fileName, &error)) {
        showError(error);
        return false;
    }
    return true;
}

void TfrmTrend::CopyToClipboard()
{
    QApplication::clipboard()->setImage(Plot->toImage(Plot->devicePixelRatioF()));
}

void TfrmTrend::saveClicked(const QString &filter, const QString &ext, qreal ratio, bool pdf)
{
    SaveDialog->Filter = filter;
    SaveDialog->DefaultExt = ext;
    if (!SaveDialog->Execute(this))
        return;
    if (pdf)
        SavePdf(SaveDialog->FileName);
    else
        SaveImage(SaveDialog->FileName, ratio);
}

void TfrmTrend::showError(const QString &text)
{
    NewMessageDlg(text, mtError, MsgDlgButtons({mbOK}), 0);
}
