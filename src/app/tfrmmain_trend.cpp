// The main window's trend window: every reading of the session, explored away from the paging.
#include "tfrmmain.h"

#include "tchartpanel.h"
#include "tfrmtrend.h"
#include "tpagedchart.h"
#include "ttoplevel.h"
#include "ttrendseries.h"

#include <QAction>
#include <QScreen>

void TfrmMain::CreateTrendTools()
{
    TrendSeries_ = std::make_unique<TTrendSeries>();
    Session_->SetTrend(TrendSeries_.get());

    actTrend = new QAction(QStringLiteral("Trend..."), this);
    actTrend->setObjectName(QStringLiteral("actTrend"));
    actTrend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    // Also from an enlarged chart, which is a window of its own.
    actTrend->setShortcutContext(Qt::ApplicationShortcut);
    connect(actTrend, &QAction::triggered, this, &TfrmMain::ShowTrend);
    addAction(actTrend);
    pnlChartParent->Chart1->setContextMenuPolicy(Qt::ActionsContextMenu);
    pnlChartParent->Chart1->addAction(actTrend);

    const auto changed = [this] {
        if (Trend_)
            Trend_->DataChanged();
    };
    connect(Session_, &TMeterSession::PointAdded, this, changed);
    connect(Session_, &TMeterSession::Cleared, this, changed);
}

void TfrmMain::ShowTrend()
{
    if (!Trend_) {
        Trend_ = new TfrmTrend(*TrendSeries_, this);
        // Its size at most nine tenths of the screen it opens on, at any scaling.
        if (const QScreen *screen = this->screen()) {
            const QSize room = screen->availableSize() * 9 / 10;
            Trend_->resize(Trend_->size().boundedTo(room));
        }
        CentreOnParent(Trend_);
    }
    Trend_->show();
    Trend_->raise();
    Trend_->activateWindow();
    Trend_->DataChanged();
}
