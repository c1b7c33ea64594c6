#pragma once

#include "tfiledialog.h"

// The chart's save dialog: bitmaps only.
class TSavePictureDialog : public TFileDialog
{
public:
    explicit TSavePictureDialog(const QString &name, QObject *owner);
};
