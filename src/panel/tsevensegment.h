#pragma once

#include <QFont>
#include <QLineEdit>
#include <QRectF>
#include <QString>

class QPainter;

// A read-only reading box that looks like the meter's LCD digits. It stays a QLineEdit, so the
// text is what the panel set, but it paints that text itself: as an LCD it never shows a caret
// or a selection, and digits, the decimal separator and the status words all read as segments.
class TSevenSegment : public QLineEdit
{
    Q_OBJECT
public:
    // pixelHeight is the character height of the digits' font.
    explicit TSevenSegment(int pixelHeight, QWidget *parent = nullptr);

    // True when the DSEG faces are installed; otherwise the segments are painted here.
    static bool HasSegmentFonts();

signals:
    // The box received the keyboard focus (a click or a Tab); the panel passes it on.
    void entered();

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void paintWithFont(QPainter &p, const QRectF &area, const QString &text);

    // Outline bounds of a digit with its comma in the DSEG7 face, measured once.
    QRectF Cell_;
};

// Paints text as seven-segment cells, right-aligned in area, for systems without the DSEG
// faces. Letters use the shapes meters use ("oL", "Err", "5hort"); "." and "," take no cell
// of their own but sit at the foot of the digit before them, as on the meter.
void PaintSegmentText(QPainter &p, const QRectF &area, const QString &text, qreal digitHeight);
