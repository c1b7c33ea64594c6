// The bridge component's Windows device notifications: a hidden window on the component's
// thread, registered for the HID device interface class that the bridge library names, turns
// WM_DEVICECHANGE into arrivals and removals. Qt's event loop dispatches the window's messages.
#include "tcp2110.h"

#include <windows.h>

#include <dbt.h>

namespace {

const char NotifyWindowClass[] = "LumetraCP2110Notify";

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE) {
        if (auto *component =
                reinterpret_cast<TCP2110 *>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
            component->DeviceChangeMessage(std::uintptr_t(wParam),
                                           reinterpret_cast<const void *>(lParam));
            return TRUE;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                           | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&notifyWindowProc), &module);
    return module;
}

} // namespace

void TCP2110::CreateNotifyWindow()
{
    // One class for every component of the process; registering it again fails harmlessly.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = notifyWindowProc;
    windowClass.hInstance = thisModule();
    windowClass.lpszClassName = NotifyWindowClass;
    RegisterClassExA(&windowClass);
    // A message-only window: never shown, never in the task bar, yet a target of the
    // notifications it registers for.
    const HWND window = CreateWindowExA(0, NotifyWindowClass, "Lumetra CP2110", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    NotifyWindow_ = window;
}

void TCP2110::RegisterHidNotification()
{
    if (!NotifyWindow_ || !Library_.GetHidGuid)
        return;
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    if (Library_.GetHidGuid(&filter.dbcc_classguid) != HID_UART_SUCCESS)
        return;
    NotifyHandle_ = RegisterDeviceNotificationA(static_cast<HWND>(NotifyWindow_), &filter,
                                                DEVICE_NOTIFY_WINDOW_HANDLE);
}

void TCP2110::DestroyNotifyWindow()
{
    if (NotifyHandle_)
        UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(NotifyHandle_));
    NotifyHandle_ = nullptr;
    if (NotifyWindow_) {
        // No message reaches a component that is going.
        SetWindowLongPtrA(static_cast<HWND>(NotifyWindow_), GWLP_USERDATA, 0);
        DestroyWindow(static_cast<HWND>(NotifyWindow_));
    }
    NotifyWindow_ = nullptr;
}

void TCP2110::DeviceChangeMessage(std::uintptr_t event, const void *header)
{
    const auto *broadcast = static_cast<const DEV_BROADCAST_HDR *>(header);
    if ((event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) && broadcast
        && broadcast->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto *device = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A *>(header);
        // The name runs to the end of the structure as the sender sized it, zero-terminated.
        const qsizetype room = qsizetype(device->dbcc_size)
                               - qsizetype(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
        const QString path =
            room > 0 ? QString::fromLocal8Bit(device->dbcc_name, qstrnlen(device->dbcc_name, room))
                     : QString();
        if (event == DBT_DEVICEARRIVAL)
            DeviceArrived(path);
        else
            DeviceRemoved(path);
    }
    emit OnDeviceChange(this);
}
