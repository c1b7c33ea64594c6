#include "tlumetra.h"

#include <QCommandLineParser>
#include <QFileInfo>
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

QString ProgramHelpText(const QCommandLineParser &parser, const QString &program)
{
    QString text = parser.helpText();
    // Qt names the program as the application object was given it, or by a placeholder
    // without one.
    const QLatin1String usage("Usage: ");
    const qsizetype options = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(usage) && options > 0)
        text.replace(usage.size(), options - usage.size(), QFileInfo(program).fileName());
    return text;
}
