#pragma once

#include <QSizeF>
#include <QString>

class QPainter;

// A report the writers below can put onto a printer or into a PDF: pages drawn one at a time
// in report units of 1/96 inch, from the top left corner of the printable area.
class TPagedReport
{
public:
    virtual ~TPagedReport() = default;
    virtual int PageCount(const QSizeF &printable) const = 0;
    virtual void DrawPage(QPainter &painter, int page, const QSizeF &printable) const = 0;
    // The title a PDF of the report carries.
    virtual QString DocumentTitle() const = 0;
};
