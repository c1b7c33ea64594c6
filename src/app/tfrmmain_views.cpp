// The main window's enlarged views: the record grid or the chart alone in a maximised window.
#include "tfrmmain.h"

#include "tfrmsupercontainer.h"

#include <QAbstractItemModel>
#include <QScopeGuard>
#include <QTableView>
#include <QToolButton>

#include <array>

namespace {

// Columns aNO .. aFreq, wide enough to read every field in full.
constexpr std::array<int, 9> EnlargedColumnWidths = {60, 150, 60, 60, 60, 120, 120, 80, 80};

// While a view is enlarged its close button stands where its open button was; the open button
// comes back however the view ends.
class TSwappedButtons
{
public:
    TSwappedButtons(QToolButton *open, QToolButton *close)
        : Open_(open)
        , Close_(close)
    {
        Open_->hide();
        Close_->show();
    }
    ~TSwappedButtons()
    {
        Open_->show();
        Close_->hide();
    }
    TSwappedButtons(const TSwappedButtons &) = delete;
    TSwappedButtons &operator=(const TSwappedButtons &) = delete;

private:
    QToolButton *Open_;
    QToolButton *Close_;
};

} // namespace

void TfrmMain::btnRecordFlyClick()
{
    QList<int> savedWidths;
    const TSwappedButtons buttons(Panel4->btnRecordFly, Panel4->btnGridZoomout);
    const auto restore = qScopeGuard([&] {
        // Also undoes what the user resized inside the enlarged view.
        for (int c = 0; c < savedWidths.size(); ++c)
            Panel4->DBGrid1->setColumnWidth(c, savedWidths[c]);
        raise();
        activateWindow();
    });
    const int columns = Panel4->DBGrid1->model() ? Panel4->DBGrid1->model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c)
        savedWidths << Panel4->DBGrid1->columnWidth(c);
    for (int c = 0; c < columns && c < int(EnlargedColumnWidths.size()); ++c)
        Panel4->DBGrid1->setColumnWidth(c, EnlargedColumnWidths[c]);
    ShowInSuperContainer(Panel4, Panel1);
}

void TfrmMain::btnGridZoomoutClick()
{
    CloseSuperContainer();
}

void TfrmMain::btnFlyClick()
{
    // The chart fills whatever room it is given, so this view changes no sizes.
    const TSwappedButtons buttons(pnlChartParent->btnFly, pnlChartParent->btnChartZoomOut);
    pnlChartParent->SetClearKey(true);
    const auto clearKey = qScopeGuard([this] { pnlChartParent->SetClearKey(false); });
    ShowInSuperContainer(pnlChartParent, Panel5);
}

void TfrmMain::btnChartZoomOutClick()
{
    CloseSuperContainer();
}
