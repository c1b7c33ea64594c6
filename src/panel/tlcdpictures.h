#pragma once

#include <QWidget>

// The panel's small pictures, drawn as vectors on a fixed design grid and scaled to the
// widget, so they stay sharp on high-density screens while keeping the meter's proportions.
class TLcdPicture : public QWidget
{
    Q_OBJECT
public:
    enum class Kind {
        LinkLit,  // computer and meter, screens lit: data is flowing
        LinkDark, // the same with dark screens
        Battery,  // battery outline with plus and minus
    };

    explicit TLcdPicture(Kind kind, QWidget *parent = nullptr);
    Kind kind() const { return Kind_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind Kind_;
};
