#include "tlinkcheck.h"

#include "tfrmmain.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QTableView>
#include <QToolButton>

namespace {

// Record fields 2 to 8: main mode, value and unit; secondary mode, value and unit; frequency.
QString readingOf(const QAbstractItemModel &model, int row)
{
    QStringList groups;
    for (const auto &[first, last] : {std::pair{2, 4}, std::pair{5, 7}, std::pair{8, 8}}) {
        QStringList words;
        for (int column = first; column <= last; ++column) {
            const QString text = model.data(model.index(row, column)).toString().trimmed();
            if (!text.isEmpty())
                words << text;
        }
        if (!words.isEmpty())
            groups << words.join(QLatin1Char(' '));
    }
    return groups.join(QStringLiteral(", "));
}

} // namespace

TLinkCheck::TLinkCheck(int timeoutMs, QObject *parent)
    : QObject(parent)
    , TimeoutMs_(timeoutMs)
{
    Deadline_.setSingleShot(true);
    connect(&Deadline_, &QTimer::timeout, this, [this] {
        Finish(1, QStringLiteral("No reading from the meter within %1 s.")
                      .arg(QString::number(TimeoutMs_ / 1000.0)));
    });
}

void TLinkCheck::Start(TfrmMain &window)
{
    if (Finished_)
        return;
    Window_ = &window;
    // Nobody is there to answer a notice: the window only tells it, and the check ends on it.
    window.SetUnattended(true);
    connect(&window, &TfrmMain::NoticeRaised, this, &TLinkCheck::Notice);
    if (!window.PendingNotices().isEmpty()) {
        Notice(window.PendingNotices().first());
        return;
    }
    QAbstractItemModel *records = window.Panel4->DBGrid1->model();
    connect(records, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int) { FirstRow(first); });
    Deadline_.start(TimeoutMs_);
    window.Panel3->btnConnect->click();
}

void TLinkCheck::FirstRow(int row)
{
    if (Finished_ || !Window_)
        return;
    const QString device = Window_->Panel3->cbbDevices->currentText();
    Finish(0, device + QStringLiteral(": ") + readingOf(*Window_->Panel4->DBGrid1->model(), row));
}

void TLinkCheck::Notice(const TNotice &notice)
{
    // A check is tried again as it was run: from the command line.
    QString text = notice.Text;
    if (notice.TryAgain)
        text += QStringLiteral(" Then run the command again.");
    Finish(1, text.replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed());
}

void TLinkCheck::Finish(int exitCode, const QString &report)
{
    if (Finished_)
        return;
    Finished_ = true;
    ExitCode_ = exitCode;
    Report_ = report;
    Deadline_.stop();
    emit Done(exitCode);
}
