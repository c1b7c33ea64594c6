#pragma once

// For a Windows test under Wine: the Linux side of the machine, through hosthelper (a Linux
// program built for this machine, see hosthelper.c). Wine runs a Linux program that a Windows
// one starts, but without a handle or a pipe to it, so the two talk over the loopback. Wine
// only; IsOpen() is false elsewhere.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include "win32api.h"

class THostHelper
{
public:
    // program: the helper's path on the Linux side.
    explicit THostHelper(const QString &program)
    {
        if (!RunningUnderWine())
            return;
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            return;
        Started_ = true;
        const quint16 port = FreeLoopbackPort();
        if (port == 0)
            return;
        // Wine finds a Linux program by its path on the Z: drive, which is the root.
        std::wstring command = (QStringLiteral("\"Z:") + QDir::toNativeSeparators(program)
                                + QStringLiteral("\" %1").arg(port))
                                   .toStdWString();
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            qWarning("hosthelper: cannot start %s (%lu)", qPrintable(program), GetLastError());
            return;
        }
        if (process.hProcess)
            CloseHandle(process.hProcess);
        if (process.hThread)
            CloseHandle(process.hThread);
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            Socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in address = Loopback(port);
            if (::connect(Socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
                return;
            closesocket(Socket_);
            Socket_ = INVALID_SOCKET;
            QThread::msleep(50);
        }
        qWarning("hosthelper: %s does not answer on port %u", qPrintable(program), unsigned(port));
    }
    ~THostHelper()
    {
        // The helper ends what it started and removes what it made when the link goes.
        if (Socket_ != INVALID_SOCKET)
            closesocket(Socket_);
        if (Started_)
            WSACleanup();
    }
    THostHelper(const THostHelper &) = delete;
    THostHelper &operator=(const THostHelper &) = delete;

    bool IsOpen() const { return Socket_ != INVALID_SOCKET; }

    // One command, one answer line (without its end); "" when the helper is gone.
    QByteArray Ask(const QByteArray &command, int timeoutMs = 20000)
    {
        if (!IsOpen())
            return {};
        const QByteArray line = command + '\n';
        if (send(Socket_, line.constData(), int(line.size()), 0) != int(line.size()))
            return {};
        QByteArray answer;
        const QDeadlineTimer deadline(timeoutMs);
        while (!answer.endsWith('\n') && !deadline.hasExpired()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(Socket_, &readable);
            timeval wait = {0, 100 * 1000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
                continue;
            char c;
            if (recv(Socket_, &c, 1, 0) != 1)
                break;
            answer += c;
        }
        return answer.trimmed();
    }

    // Runs a Linux program to its end, in folder (a Windows path, or "" for any); arguments
    // that are Windows paths ("C:/...") are given as their Linux paths. Its exit code, or -1
    // when it could not run; its standard and error output in *output and *errors.
    int Run(const QStringList &command, const QString &folder = {}, QByteArray *output = nullptr,
            QByteArray *errors = nullptr)
    {
        QTemporaryDir scratch;
        const QString outFile = scratch.filePath(QStringLiteral("out"));
        QFile(outFile).open(QIODevice::WriteOnly);
        QStringList fields{folder.isEmpty() ? QStringLiteral("-") : UnixPath(folder),
                           UnixPath(outFile)};
        for (const QString &argument : command)
            fields << (IsWindowsPath(argument) ? UnixPath(argument) : argument);
        const QByteArray done = Ask("run\t" + fields.join(QLatin1Char('\t')).toLocal8Bit(), 120000);
        const auto read = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        if (output)
            *output = read(outFile);
        if (errors)
            *errors = read(outFile + QStringLiteral(".err"));
        return done.startsWith("exited ") ? done.mid(7).toInt() : -1;
    }

    static bool IsWindowsPath(const QString &text)
    {
        return text.size() > 2 && text.at(0).isLetter() && text.at(1) == QLatin1Char(':')
               && (text.at(2) == QLatin1Char('/') || text.at(2) == QLatin1Char('\\'));
    }

    static bool RunningUnderWine()
    {
        return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    }

    // The path on the Linux side of a Windows path (Wine's own translation), or "".
    static QString UnixPath(const QString &path)
    {
        using TUnixName = char *(CDECL *)(const wchar_t *);
        const auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!unixName)
            return {};
        const QString native = QDir::toNativeSeparators(path);
        char *name = unixName(reinterpret_cast<const wchar_t *>(native.utf16()));
        if (!name)
            return {};
        const QString result = QString::fromLocal8Bit(name);
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }

    static sockaddr_in Loopback(quint16 port)
    {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    static quint16 FreeLoopbackPort()
    {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        int length = sizeof address;
        quint16 port = 0;
        if (::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
        return port;
    }

private:
    bool Started_ = false;
    SOCKET Socket_ = INVALID_SOCKET;
};
