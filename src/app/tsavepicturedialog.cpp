#include "tsavepicturedialog.h"

TSavePictureDialog::TSavePictureDialog(const QString &name, QObject *owner)
    : TFileDialog(TKind::Save, name, owner)
{
    Filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    DefaultExt = QStringLiteral("bmp");
}
