#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The chart's save dialog as a lasting component: it keeps its settings and the last name
// chosen, and shows a fresh file dialog each time it is executed.
class TSavePictureDialog : public QObject
{
public:
    explicit TSavePictureDialog(const QString &name, QObject *owner);

    QString Filter = QStringLiteral("Bitmaps (*.bmp)");
    QString DefaultExt = QStringLiteral("bmp");
    // The chosen file, with the default extension added when the name had none.
    QString FileName;

    // Shows the dialog modally; true when the user confirmed a name (an existing file only
    // after agreeing to replace it).
    bool Execute(QWidget *parent);
};
