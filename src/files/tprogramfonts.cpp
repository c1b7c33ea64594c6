#include "tprogramfonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

void RegisterProgramFonts()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    const QFileInfoList files = folder.entryInfoList(
        {QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        return;
    for (const QFileInfo &file : files)
        QFontDatabase::addApplicationFont(file.filePath());
    const QStringList families = QFontDatabase::families();
    const QString arial = QStringLiteral("Arial");
    const QString twin = QStringLiteral("Liberation Sans");
    if (!families.contains(arial, Qt::CaseInsensitive) && families.contains(twin))
        QFont::insertSubstitution(arial, twin);
}
