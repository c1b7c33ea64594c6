// The main window's tools for sorting parts: one reading per part and the statistics window.
#include "tfrmmain.h"

#include "tchartpanel.h"
#include "tfrmstatistics.h"
#include "tpagedchart.h"
#include "trecordpanel.h"
#include "ttoplevel.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QTableView>

void TfrmMain::CreatePartsTools()
{
    actPerPart = new QAction(QStringLiteral("One reading per part"), this);
    actPerPart->setObjectName(QStringLiteral("actPerPart"));
    actPerPart->setCheckable(true);
    connect(actPerPart, &QAction::toggled, this, &TfrmMain::actPerPartToggled);

    actStatistics = new QAction(QStringLiteral("Statistics"), this);
    actStatistics->setObjectName(QStringLiteral("actStatistics"));
    actStatistics->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // Also from an enlarged grid or chart, which are windows of their own.
    actStatistics->setShortcutContext(Qt::ApplicationShortcut);
    connect(actStatistics, &QAction::triggered, this, &TfrmMain::ShowStatistics);
    addAction(actStatistics);

    QTableView *grid = Panel4->DBGrid1;
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    grid->addActions({actPerPart, actStatistics});
    pnlChartParent->Chart1->setContextMenuPolicy(Qt::ActionsContextMenu);
    pnlChartParent->Chart1->addAction(actStatistics);
    connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (Statistics_)
            Statistics_->SetSelectedRows(Panel4->SelectedRows());
    });
}

void TfrmMain::actPerPartToggled(bool on)
{
    // The record tool bar's boxes step aside and come back as they were; the session follows
    // the one mode they then show.
    Panel4->SetPerPart(on);
}

void TfrmMain::ShowStatistics()
{
    if (!Statistics_) {
        Statistics_ = new TfrmStatistics(*cds1, DecimalSep().toUtf8(), this);
        Statistics_->SetSelectedRows(Panel4->SelectedRows());
        // A matched set is found in the grid by its rows.
        connect(Statistics_, &TfrmStatistics::RowsChosen, Panel4, &TRecordPanel::SelectRows);
        // Beside the window, not over the rows it sums up, and on the screen.
        PlaceBeside(Statistics_, this);
    }
    Statistics_->show();
    Statistics_->raise();
    Statistics_->activateWindow();
}
