#include "thiduartlibrary.h"

#include <QDir>
#include <QFileInfo>

// The install's library folder as seen from its program folder; the build system knows both.
#ifndef LUMETRA_INSTALLED_LIBRARY_DIR
#error "LUMETRA_INSTALLED_LIBRARY_DIR must name the installed library folder"
#endif

QString THidUartLibrary::Locate(const QString &programDir, const QString &fileName)
{
    const QDir program(programDir);
    const QString beside = program.filePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(
        program.filePath(QStringLiteral(LUMETRA_INSTALLED_LIBRARY_DIR "/") + fileName));
    return QFileInfo::exists(installed) ? installed : beside;
}

THidUartLibrary::~THidUartLibrary()
{
    Unload();
}

bool THidUartLibrary::Load(const QString &path)
{
    Unload();
    Library_.setFileName(path);
    // The simulated library runs threads of its own; unloading code under a running thread would
    // crash, and the process ends soon after the component anyway.
    Library_.setLoadHints(QLibrary::PreventUnloadHint);
    if (!Library_.load()) {
        Error_ = QStringLiteral("Cannot load %1: %2").arg(path, Library_.errorString());
        return false;
    }
    bool whole = true;
    const auto bind = [&](auto &fn, const char *name) {
        if (!whole)
            return;
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(Library_.resolve(name));
        if (!fn) {
            Error_ = QStringLiteral("%1 lacks the entry point %2.").arg(path, QLatin1String(name));
            whole = false;
        }
    };
    bind(GetNumDevices, "HidUart_GetNumDevices");
    bind(GetString, "HidUart_GetString");
    bind(GetHidGuid, "HidUart_GetHidGuid");
    bind(GetOpenedString, "HidUart_GetOpenedString");
    bind(Open, "HidUart_Open");
    bind(Close, "HidUart_Close");
    bind(GetPartNumber, "HidUart_GetPartNumber");
    bind(GetUartConfig, "HidUart_GetUartConfig");
    bind(SetUartConfig, "HidUart_SetUartConfig");
    bind(SetTimeouts, "HidUart_SetTimeouts");
    bind(GetPinConfig, "HidUart_GetPinConfig");
    bind(IsOpened, "HidUart_IsOpened");
    bind(ReadLatch, "HidUart_ReadLatch");
    bind(Read, "HidUart_Read");
    bind(Write, "HidUart_Write");
    if (!whole) {
        Unload();
        return false;
    }
    OpenDeviceMonitor = reinterpret_cast<HidUart_Lumetra_OpenDeviceMonitor_t>(
        Library_.resolve("HidUart_Lumetra_OpenDeviceMonitor"));
    ReadDeviceEvent = reinterpret_cast<HidUart_Lumetra_ReadDeviceEvent_t>(
        Library_.resolve("HidUart_Lumetra_ReadDeviceEvent"));
    CloseDeviceMonitor = reinterpret_cast<HidUart_Lumetra_CloseDeviceMonitor_t>(
        Library_.resolve("HidUart_Lumetra_CloseDeviceMonitor"));
    Error_.clear();
    return true;
}

void THidUartLibrary::Unload()
{
    GetNumDevices = nullptr;
    GetString = nullptr;
    GetHidGuid = nullptr;
    GetOpenedString = nullptr;
    Open = nullptr;
    Close = nullptr;
    GetPartNumber = nullptr;
    GetUartConfig = nullptr;
    SetUartConfig = nullptr;
    SetTimeouts = nullptr;
    GetPinConfig = nullptr;
    IsOpened = nullptr;
    ReadLatch = nullptr;
    Read = nullptr;
    Write = nullptr;
    OpenDeviceMonitor = nullptr;
    ReadDeviceEvent = nullptr;
    CloseDeviceMonitor = nullptr;
    if (Library_.isLoaded())
        Library_.unload();
}
