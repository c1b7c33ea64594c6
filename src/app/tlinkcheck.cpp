#include "tlinkcheck.h"

#include "tfrmmain.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTableView>
#include <QToolButton>

namespace {

// The words of a notice: the message dialog's text, a system box's text, else its caption.
QString noticeText(QWidget *notice)
{
    if (auto *box = qobject_cast<QMessageBox *>(notice))
        return box->text();
    if (auto *label = notice->findChild<QLabel *>(QStringLiteral("Message")))
        return label->text();
    return notice->windowTitle();
}

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
    NoticePoll_.setInterval(50);
    connect(&NoticePoll_, &QTimer::timeout, this, &TLinkCheck::CloseNotice);
    NoticePoll_.start();
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
    QAbstractItemModel *records = window.DBGrid1->model();
    connect(records, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int) { FirstRow(first); });
    Deadline_.start(TimeoutMs_);
    window.btnConnect->click();
}

void TLinkCheck::FirstRow(int row)
{
    if (Finished_ || !Window_)
        return;
    const QString device = Window_->cbbDevices->currentText();
    Finish(0, device + QStringLiteral(": ") + readingOf(*Window_->DBGrid1->model(), row));
}

void TLinkCheck::CloseNotice()
{
    QWidget *notice = QApplication::activeModalWidget();
    if (Finished_ || !notice || !notice->isVisible())
        return;
    const QString text = noticeText(notice).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    notice->close();
    Finish(1, text);
}

void TLinkCheck::Finish(int exitCode, const QString &report)
{
    if (Finished_)
        return;
    Finished_ = true;
    ExitCode_ = exitCode;
    Report_ = report;
    NoticePoll_.stop();
    Deadline_.stop();
    emit Done(exitCode);
}
