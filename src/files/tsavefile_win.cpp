#include "tsavefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>

namespace {

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

QString systemReason(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = n ? QString::fromWCharArray(text, qsizetype(n)).trimmed()
                       : QStringLiteral("Error %1").arg(code);
    LocalFree(text);
    return reason;
}

} // namespace

bool ReplaceFileAtomically(const QString &replacement, const QString &target, QString *error)
{
    const QString from = QDir::toNativeSeparators(replacement);
    const QString to = QDir::toNativeSeparators(target);
    // ReplaceFileW keeps the target's attributes and security; it needs a target to replace.
    if (GetFileAttributesW(wide(to)) != INVALID_FILE_ATTRIBUTES
        && ReplaceFileW(wide(to), wide(from), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr))
        return true;
    if (MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error)
        *error = systemReason(GetLastError());
    return false;
}

TSaveFile::TSaveFile(const QString &fileName, QObject *parent)
    : QFile(parent)
    , Target_(fileName)
{}

TSaveFile::~TSaveFile()
{
    Discard();
}

bool TSaveFile::open(OpenMode mode)
{
    if (isOpen() || !(mode & WriteOnly) || (mode & (ReadOnly | Append))) {
        setErrorString(QStringLiteral("A file written whole is opened for writing only"));
        return false;
    }
    Committed_ = false;
    // What cannot be replaced fails before anything is written, as with QSaveFile.
    const QFileInfo target(Target_);
    if (target.isDir()) {
        setErrorString(QString::fromLocal8Bit(std::strerror(EISDIR)));
        return false;
    }
    if (target.exists() && !target.isWritable()) {
        setErrorString(QStringLiteral("Existing file %1 is not writable")
                           .arg(QDir::toNativeSeparators(Target_)));
        return false;
    }
    // Beside the target, so the replace stays on one volume; a name nobody else uses.
    for (int attempt = 0; attempt < 100; ++attempt) {
        setFileName(Target_
                    + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate() & 0xFFFFFF,
                                                6, 16, QLatin1Char('0')));
        if (QFile::open(mode | NewOnly | Truncate))
            return true;
        if (error() != OpenError || !QFile::exists(QFile::fileName()))
            break;
    }
    setFileName(QString());
    return false;
}

bool TSaveFile::commit()
{
    if (!isOpen())
        return false;
    const bool written = flush() && error() == NoError;
    const bool synced =
        written && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(handle())));
    const DWORD why = synced ? ERROR_SUCCESS : GetLastError();
    QFile::close();
    if (!written || !synced) {
        const QString reason = written ? systemReason(why) : errorString();
        Discard();
        setErrorString(reason);
        return false;
    }
    QString reason;
    if (!ReplaceFileAtomically(QFile::fileName(), Target_, &reason)) {
        Discard();
        setErrorString(reason);
        return false;
    }
    Committed_ = true;
    setFileName(QString());
    return true;
}

void TSaveFile::cancelWriting()
{
    Discard();
}

void TSaveFile::Discard()
{
    if (isOpen())
        QFile::close();
    if (!Committed_ && !QFile::fileName().isEmpty())
        QFile::remove();
    setFileName(QString());
}
