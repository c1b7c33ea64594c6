#pragma once

// Files as the record file tests look at them. Header only, QtCore only.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#endif

// The system's reasons as a user of this platform reads them after a file's name: Linux says
// "No such file or directory", Windows "The system cannot find the file specified." (Wine
// "File not found."). The Win32 codes are given by number: <windows.h> would define CBR_9600
// and the like over the program's own baud rate names.
inline QString noSuchFileReason()
{
#ifdef Q_OS_WIN
    return qt_error_string(2); // ERROR_FILE_NOT_FOUND
#else
    return qt_error_string(ENOENT);
#endif
}

// What opening a folder as a file gives: on Linux Qt says "file to open is a directory",
// Windows denies access.
inline QString isAFolderReason()
{
#ifdef Q_OS_WIN
    return qt_error_string(5); // ERROR_ACCESS_DENIED
#else
    return QStringLiteral("is a directory");
#endif
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every name in a folder, hidden ones (a temporary file left behind) included.
inline QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

#ifndef Q_OS_WIN
// Limits the size of files this process writes, as a full disk would: writes past it fail.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Old_);
        Handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old_);
        std::signal(SIGXFSZ, Handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit Old_{};
    void (*Handler_)(int) = nullptr;
};
#define SKIP_WITHOUT_FILE_SIZE_LIMIT()
#else
// Windows has no limit on the size of the files a process writes, which stands for a full disk
// here: the tests (or rows) of a full disk skip before they would make one.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64) {}
};
#define SKIP_WITHOUT_FILE_SIZE_LIMIT()                                                             \
    QSKIP("no limit on a process's file sizes to stand for a full disk on Windows")
#endif
