#include "tlumetra.h"

#include <QLocale>

QString LumetraVersion()
{
    return QStringLiteral(LUMETRA_VERSION);
}

const QString &SystemDecimalSep()
{
    static const QString sep = [] {
        const QString point = QLocale::system().decimalPoint();
        return point.isEmpty() ? QStringLiteral(".") : point.left(3);
    }();
    return sep;
}
