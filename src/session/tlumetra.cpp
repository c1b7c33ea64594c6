#include "tlumetra.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString LumetraVersion()
{
    return QStringLiteral(LUMETRA_VERSION);
}

void UseSystemFontsOffscreen()
{
#ifdef Q_OS_WIN
    if (!qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        return;
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        qputenv(
            "QT_QPA_FONTDIR",
            (QString::fromWCharArray(folder, int(n)) + QStringLiteral("\\Fonts")).toLocal8Bit());
#endif
}

const QString &SystemDecimalSep()
{
    static const QString sep = [] {
#ifdef Q_OS_WIN
        // The user's own setting in the regional options, as every Windows program reads it.
        wchar_t text[8] = {};
        const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
        const QString point = n > 1 ? QString::fromWCharArray(text, n - 1) : QString();
#else
        const QString point = QLocale::system().decimalPoint();
#endif
        return point.isEmpty() ? QStringLiteral(".") : point.left(3);
    }();
    return sep;
}

QString ProgramName(const QString &path)
{
    QString name = QFileInfo(path).fileName();
    const QLatin1String program(".exe");
    if (name.endsWith(program, Qt::CaseInsensitive) && name.size() > program.size())
        name.chop(program.size());
    return name;
}

QString ProgramHelpText(const QCommandLineParser &parser, const QString &program)
{
    QString text = parser.helpText();
    // Qt names the program as the application object was given it, or by a placeholder
    // without one.
    const QLatin1String usage("Usage: ");
    const qsizetype options = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(usage) && options > 0)
        text.replace(usage.size(), options - usage.size(), ProgramName(program));
    return text;
}
