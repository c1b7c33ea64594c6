#include "tprogramfonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>

void RegisterProgramFonts()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    const QFileInfoList files = folder.entryInfoList(
        {QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files)
        QFontDatabase::addApplicationFont(file.filePath());
}
