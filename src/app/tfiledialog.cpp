#include "tfiledialog.h"

#include "ttoplevel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

// Asks before replacing the file a save will write, which need not be the name typed.
class TSaveFileDialog : public QFileDialog
{
public:
    TSaveFileDialog(QWidget *parent, std::function<QString(const QString &)> written)
        : QFileDialog(parent)
        , Written_(std::move(written))
    {}

protected:
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (acceptMode() == AcceptSave && !chosen.isEmpty()) {
            const QString target = Written_ ? Written_(chosen.first()) : chosen.first();
            const QFileInfo info(target);
            // A folder is entered by the dialog itself, never replaced.
            if (info.exists() && !info.isDir()) {
                QMessageBox question(
                    QMessageBox::Warning, windowTitle(),
                    tr("%1 already exists.\nDo you want to replace it?").arg(info.fileName()),
                    QMessageBox::Yes | QMessageBox::No, this);
                question.setDefaultButton(QMessageBox::No);
                CentreOnParent(&question);
                if (question.exec() != QMessageBox::Yes)
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    std::function<QString(const QString &)> Written_;
};

// The extension of a single "*.ext" pattern, else none.
QString patternExtension(const QString &nameFilter)
{
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.([^*?;. ()]+)\\)$"));
    const QRegularExpressionMatch m = single.match(nameFilter);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

TFileDialog::TFileDialog(TKind kind, const QString &name, QObject *owner)
    : QObject(owner)
    , Kind_(kind)
{
    setObjectName(name);
}

QStringList TFileDialog::NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns =
            parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        const QString &description = parts[i];
        // A description that already shows its patterns is taken as it is.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

bool TFileDialog::Execute(QWidget *parent)
{
    TSaveFileDialog dialog(parent, WrittenName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setSizeGripEnabled(true);
    if (Kind_ == TKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Asked by the dialog above, about the file the save writes.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = NameFilters(Filter);
    dialog.setNameFilters(filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[FilterIndex - 1]);
    if (!DefaultExt.isEmpty()) {
        // As the system's own dialog does: a name typed without an extension gets the one of
        // the files the user is looking at.
        const auto suffixFor = [this](const QString &nameFilter) {
            const QString extension = patternExtension(nameFilter);
            return extension.isEmpty() ? DefaultExt : extension;
        };
        dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString &nameFilter) {
                             dialog.setDefaultSuffix(suffixFor(nameFilter));
                         });
    }
    if (!FileName.isEmpty()) {
        const QFileInfo last(FileName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    CentreOnParent(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    FileName = chosen.first();
    const int selected = int(filters.indexOf(dialog.selectedNameFilter()));
    if (selected >= 0)
        FilterIndex = selected + 1;
    return true;
}
