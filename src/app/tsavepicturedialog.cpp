#include "tsavepicturedialog.h"

#include <QFileDialog>
#include <QFileInfo>

TSavePictureDialog::TSavePictureDialog(const QString &name, QObject *owner)
    : QObject(owner)
{
    setObjectName(name);
}

bool TSavePictureDialog::Execute(QWidget *parent)
{
    // Qt's own dialog rather than the desktop's, so it looks and behaves the same everywhere.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Filter);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
    if (!FileName.isEmpty()) {
        const QFileInfo last(FileName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    FileName = chosen.first();
    return true;
}
