#include "trecordpanel.h"

#include "timagelist.h"
#include "tkeyfilter.h"
#include "tpanelframe.h"
#include "trecording.h"
#include "trecordmodel.h"
#include "trecordtable.h"
#include "ttoolbar.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

QFont arial8()
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    return f;
}

} // namespace

TRecordPanel::TRecordPanel(QWidget *parent)
    : QFrame(parent)
{
    SetPanelBevel(this, QStringLiteral("Panel4"), QFrame::Sunken, 1);
    auto *l = FillLayout(this);

    ToolBar4 = new TToolBar(QStringLiteral("ToolBar4"), 26, this);
    cbRepeat = new QCheckBox(QStringLiteral("Repeat"), ToolBar4);
    cbRepeat->setObjectName(QStringLiteral("cbRepeat"));
    cbRepeat->setFont(arial8());
    cbRepeat->setChecked(true);
    ToolBar4->addControl(cbRepeat, 89);
    cbInterval = new QCheckBox(QStringLiteral("Sampling Interval"), ToolBar4);
    cbInterval->setObjectName(QStringLiteral("cbInterval"));
    cbInterval->setFont(arial8());
    ToolBar4->addControl(cbInterval, 104);
    edtRecInterval = new QLineEdit(QStringLiteral("1"), ToolBar4);
    edtRecInterval->setObjectName(QStringLiteral("edtRecInterval"));
    edtRecInterval->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar4->addControl(edtRecInterval, 40);
    TntLabel1 = new QLabel(QStringLiteral(" S  "), ToolBar4);
    TntLabel1->setObjectName(QStringLiteral("TntLabel1"));
    TntLabel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ToolBar4->addControl(TntLabel1, 16);
    ToolBar4->addSeparator();
    btnRecordNew = ToolBar4->addButton(QStringLiteral("btnRecordNew"), QStringLiteral("Clear"),
                                       ToolIcon(iiBlankPage), ClearKey);
    btnRecordOpen =
        ToolBar4->addButton(QStringLiteral("btnRecordOpen"), QStringLiteral("Open"),
                            ToolIcon(iiFolderYellow), QKeySequence(Qt::CTRL | Qt::Key_O));
    btnRecordSave = ToolBar4->addButton(QStringLiteral("btnRecordSave"), QStringLiteral("Save"),
                                        ToolIcon(iiFloppy), QKeySequence(Qt::CTRL | Qt::Key_S));
    btnRecordPrint = ToolBar4->addButton(QStringLiteral("btnRecordPrint"), QStringLiteral("Print"),
                                         ToolIcon(iiPrinter), QKeySequence(Qt::CTRL | Qt::Key_P));
    btnRecordFly = ToolBar4->addButton(QStringLiteral("btnRecordFly"), QStringLiteral("Enlarge"),
                                       ToolIcon(iiEnlarge), QKeySequence(Qt::CTRL | Qt::Key_E));
    // Escape is the enlarged view's own, which lets an edit box have it first.
    btnGridZoomout =
        ToolBar4->addButton(QStringLiteral("btnGridZoomout"), QString(), ToolIcon(iiShrink));
    btnGridZoomout->setToolTip(TToolBar::KeyHint(QStringLiteral("Back"), Qt::Key_Escape));
    btnGridZoomout->hide();
    l->addWidget(ToolBar4);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    if (!QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) {
        // The grid's column widths were made for MS Sans Serif, which is narrower than its
        // stand-in: one pixel less keeps a whole time stamp ("2026-12-08 09:05:07") inside
        // its 103-pixel column instead of cutting it short.
        QFont gridFont = font();
        gridFont.setPixelSize(10);
        DBGrid1->setFont(gridFont);
    }
    // A unit such as "KOhm" fills its narrow column to the last pixel; it is clipped at the cell's
    // edge rather than replaced by an ellipsis that hides the unit altogether.
    DBGrid1->setTextElideMode(Qt::ElideNone);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows may be selected, for the statistics of just those parts.
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->setShowGrid(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Tab goes on to the next control in one press, not through every cell of the grid;
    // Ctrl+Tab moves from cell to cell inside it, as Qt's item views take it.
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->installEventFilter(this);
    l->addWidget(DBGrid1, 1);

    timerInputDelay = new QTimer(this);
    timerInputDelay->setObjectName(QStringLiteral("timerInputDelay"));
    timerInputDelay->setInterval(1000);
    connect(timerInputDelay, &QTimer::timeout, this, &TRecordPanel::timerInputDelayTimer);
    connect(cbRepeat, &QCheckBox::toggled, this, &TRecordPanel::cbRepeatClick);
    connect(cbInterval, &QCheckBox::toggled, this, &TRecordPanel::cbIntervalClick);
    connect(edtRecInterval, &QLineEdit::textChanged, this, &TRecordPanel::edtRecIntervalChange);
    TKeyFilter::install(edtRecInterval, &TRecordPanel::edtRecIntervalKeyPress);
}

void TRecordPanel::SetTable(TRecordTable *table)
{
    Data1 = new TRecordModel(table, this);
    Data1->setObjectName(QStringLiteral("Data1"));
    DBGrid1->setModel(Data1);
    // One fixed row height: the grid then places a row by arithmetic, not by measuring rows.
    QHeaderView *rows = DBGrid1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(DBGrid1->font()).height() + 4);
    static constexpr int widths[] = {36, 103, 43, 43, 35, 39, 40, 34};
    for (int c = 0; c < 8; ++c)
        DBGrid1->setColumnWidth(c, widths[c]);
    // The frequency column keeps the grid's default for a 20-character field.
    const QFontMetrics fm(DBGrid1->font());
    DBGrid1->setColumnWidth(8, std::max(20 * fm.horizontalAdvance(QLatin1Char('0')) + 4,
                                        fm.horizontalAdvance(QStringLiteral("Freq")) + 4));
    connect(table, &TRecordTable::CurrentRowChanged, this, &TRecordPanel::FollowCurrentRow);
}

void TRecordPanel::FollowCurrentRow(qsizetype row)
{
    // The grid moves in the next pass of the event loop, with the layout and paint that show
    // the new row. After an insertion the grid re-adds every row's height the first time a row
    // position is asked for; moving at once would pay that inside every frame's handler, and
    // twice per frame, where the layout pass pays it once.
    GridRow_ = row;
    if (GridFollowPending_)
        return;
    GridFollowPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            GridFollowPending_ = false;
            if (GridRow_ < 0 || GridRow_ >= Data1->rowCount())
                return;
            // scrollToBottom lays out the new rows first, so the scroll range includes them.
            if (GridRow_ == Data1->rowCount() - 1)
                DBGrid1->scrollToBottom();
            DBGrid1->selectRow(int(GridRow_));
        },
        Qt::QueuedConnection);
}

bool TRecordPanel::edtRecIntervalKeyPress(QChar Key)
{
    return Key >= u'0' && Key <= u'9';
}

void TRecordPanel::cbRepeatClick()
{
    if (!Showing_)
        setMode(Mode_.WithRepeat(cbRepeat->isChecked()));
}

void TRecordPanel::cbIntervalClick()
{
    if (!Showing_)
        setMode(Mode_.WithSampling(cbInterval->isChecked()));
}

void TRecordPanel::setMode(const TRecordingMode &mode)
{
    if (mode == Mode_)
        return;
    Mode_ = mode;
    {
        // Under one reading per part neither box is checked; the mode keeps what comes back.
        const bool perPart = mode.Kind == TRecordingMode::PerPart;
        const QScopedValueRollback showing(Showing_, true);
        cbRepeat->setChecked(!perPart && mode.Repeat());
        cbInterval->setChecked(mode.Samples());
    }
    emit ModeChanged(Mode_);
}

void TRecordPanel::edtRecIntervalChange()
{
    // Applied a second after the last change, so typing "15" never runs a 1 s interval first.
    timerInputDelay->stop();
    timerInputDelay->start();
}

qint64 TRecordPanel::IntervalSeconds() const
{
    return RecordIntervalSeconds(edtRecInterval->text()).value_or(1);
}

void TRecordPanel::timerInputDelayTimer()
{
    timerInputDelay->stop();
    if (!RecordIntervalSeconds(edtRecInterval->text()))
        edtRecInterval->setText(QStringLiteral("1"));
    setMode(Mode_.WithInterval(IntervalSeconds() * 1000));
}

QStringList TRecordPanel::GridTitles() const
{
    const QHeaderView *header = DBGrid1->horizontalHeader();
    QStringList titles;
    for (int visual = 0; visual < header->count(); ++visual)
        titles << Data1->headerData(header->logicalIndex(visual), Qt::Horizontal).toString();
    return titles;
}

void TRecordPanel::SetPerPart(bool on)
{
    const bool perPart = Mode_.Kind == TRecordingMode::PerPart;
    if (on == perPart)
        return;
    if (on)
        SavedKind_ = Mode_.Kind;
    setMode(Mode_.WithKind(on ? TRecordingMode::PerPart : SavedKind_));
    for (QWidget *w : {static_cast<QWidget *>(cbRepeat), static_cast<QWidget *>(cbInterval),
                       static_cast<QWidget *>(edtRecInterval)})
        w->setEnabled(!on);
}

std::vector<qsizetype> TRecordPanel::SelectedRows() const
{
    std::vector<qsizetype> rows;
    if (!DBGrid1->selectionModel())
        return rows;
    // By ranges: a whole table selected is one range, not a million indexes.
    for (const QItemSelectionRange &range : DBGrid1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TRecordPanel::SelectRows(const QList<std::int32_t> &rows)
{
    QItemSelectionModel *selection = DBGrid1->selectionModel();
    if (!selection || rows.isEmpty())
        return;
    QItemSelection chosen;
    const int last = Data1->columnCount() - 1;
    for (const std::int32_t row : rows)
        if (row >= 0 && row < Data1->rowCount())
            chosen.select(Data1->index(row, 0), Data1->index(row, last));
    if (chosen.isEmpty())
        return;
    const QModelIndex first = chosen.first().topLeft();
    selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selection->select(chosen, QItemSelectionModel::ClearAndSelect);
    DBGrid1->scrollTo(first);
}

bool TRecordPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != DBGrid1 || event->type() != QEvent::KeyPress || !Data1)
        return QFrame::eventFilter(watched, event);
    const auto *key = static_cast<const QKeyEvent *>(event);
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    const bool back = key->key() == Qt::Key_Backtab
                      || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if (!(key->modifiers() & Qt::ControlModifier) || !(forward || back))
        return QFrame::eventFilter(watched, event);
    const int rows = Data1->rowCount();
    const int columns = Data1->columnCount();
    if (rows == 0 || columns == 0)
        return true;
    const QModelIndex current = DBGrid1->currentIndex();
    // Cell by cell along the rows, on from the last cell of a row to the first of the next.
    int at = current.isValid() ? current.row() * columns + current.column() : -1;
    at = forward ? std::min(at + 1, rows * columns - 1) : std::max(at - 1, 0);
    DBGrid1->setCurrentIndex(Data1->index(at / columns, at % columns));
    return true;
}
