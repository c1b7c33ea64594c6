#pragma once

#include "hiduart_api.h"

#include <QLibrary>
#include <QString>

// The bridge library, loaded at run time from a file and bound by entry-point name, so the
// program runs (without device support) where the library is absent, and the simulated bridge
// library can stand in for the real one by file name alone.
class THidUartLibrary
{
public:
    THidUartLibrary() = default;
    THidUartLibrary(const THidUartLibrary &) = delete;
    THidUartLibrary &operator=(const THidUartLibrary &) = delete;
    ~THidUartLibrary();

    // Where the program finds a bridge library file: its own folder first (a build, a portable
    // copy, Windows), then the private library folder of an install, found relative to the
    // program so that any prefix and an unpacked package work alike. When neither holds the
    // file, the path in the program's folder, so a missing library is reported there.
    static QString Locate(const QString &programDir, const QString &fileName);

    // Loads the file and resolves the fifteen entry points; on failure says why in Error()
    // (naming the file and the missing entry point) and leaves nothing loaded.
    bool Load(const QString &path);
    void Unload();
    bool IsLoaded() const { return Library_.isLoaded(); }
    const QString &Error() const { return Error_; }
    // Hot-plug is optional: an older library without the monitor entry points has none.
    bool HasDeviceMonitor() const
    {
        return OpenDeviceMonitor && ReadDeviceEvent && CloseDeviceMonitor;
    }

    HidUart_GetNumDevices_t GetNumDevices = nullptr;
    HidUart_GetString_t GetString = nullptr;
    HidUart_GetHidGuid_t GetHidGuid = nullptr;
    HidUart_GetOpenedString_t GetOpenedString = nullptr;
    HidUart_Open_t Open = nullptr;
    HidUart_Close_t Close = nullptr;
    HidUart_GetPartNumber_t GetPartNumber = nullptr;
    HidUart_GetUartConfig_t GetUartConfig = nullptr;
    HidUart_SetUartConfig_t SetUartConfig = nullptr;
    HidUart_SetTimeouts_t SetTimeouts = nullptr;
    HidUart_GetPinConfig_t GetPinConfig = nullptr;
    HidUart_IsOpened_t IsOpened = nullptr;
    HidUart_ReadLatch_t ReadLatch = nullptr;
    HidUart_Read_t Read = nullptr;
    HidUart_Write_t Write = nullptr;

    HidUart_Lumetra_OpenDeviceMonitor_t OpenDeviceMonitor = nullptr;
    HidUart_Lumetra_ReadDeviceEvent_t ReadDeviceEvent = nullptr;
    HidUart_Lumetra_CloseDeviceMonitor_t CloseDeviceMonitor = nullptr;

private:
    QLibrary Library_;
    QString Error_;
};
