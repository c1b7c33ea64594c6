#include "hidapibackend.h"

#include <hidapi.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "udevmonitor.h"

#include <cerrno>
#include <unistd.h>
#endif

namespace {

// hidapi hands out wide strings (UTF-32 here, UTF-16 on Windows); callers get UTF-8.
std::string toUtf8(const wchar_t *text)
{
    std::string out;
    if (!text)
        return out;
    for (; *text; ++text) {
        auto c = static_cast<uint32_t>(*text);
        if constexpr (sizeof(wchar_t) == 2) {
            const auto low = static_cast<uint32_t>(text[1]);
            if (c >= 0xD800 && c < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++text;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class HidapiDevice : public HidDevice
{
public:
    explicit HidapiDevice(hid_device *device)
        : m_device(device)
    {}
    ~HidapiDevice() override { hid_close(m_device); }
    int sendFeatureReport(const uint8_t *data, size_t length) override
    {
        return hid_send_feature_report(m_device, data, length);
    }
    int getFeatureReport(uint8_t *data, size_t length) override
    {
        return hid_get_feature_report(m_device, data, length);
    }
    int readTimeout(uint8_t *data, size_t length, int timeoutMs) override
    {
        return hid_read_timeout(m_device, data, length, timeoutMs);
    }
    int write(const uint8_t *data, size_t length) override
    {
        return hid_write(m_device, data, length);
    }

private:
    hid_device *m_device;
};

} // namespace

HidapiBackend::HidapiBackend()
    : m_initialised(hid_init() == 0)
{}

std::vector<HidDeviceInfo> HidapiBackend::enumerate(uint16_t vid, uint16_t pid)
{
    std::vector<HidDeviceInfo> devices;
    if (!m_initialised)
        return devices;
    hid_device_info *list = hid_enumerate(vid, pid);
    for (const hid_device_info *i = list; i; i = i->next) {
        HidDeviceInfo info;
        info.nodePath = i->path ? i->path : "";
        info.vid = i->vendor_id;
        info.pid = i->product_id;
        info.serial = toUtf8(i->serial_number);
        info.manufacturer = toUtf8(i->manufacturer_string);
        info.product = toUtf8(i->product_string);
        devices.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return devices;
}

HidOpenResult HidapiBackend::open(const HidDeviceInfo &info)
{
    HidOpenResult result;
    if (!m_initialised) {
        result.status = HID_UART_DEVICE_IO_FAILED;
        return result;
    }
    if (hid_device *device = hid_open_path(info.nodePath.c_str())) {
        result.device = std::make_unique<HidapiDevice>(device);
        return result;
    }
    // hidapi keeps no error for us; the node itself tells why it cannot be opened.
#ifdef _WIN32
    const HANDLE node = CreateFileA(info.nodePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD why = node == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (node != INVALID_HANDLE_VALUE)
        CloseHandle(node);
    const bool gone = why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND
                      || why == ERROR_DEVICE_NOT_CONNECTED;
#else
    const bool gone = access(info.nodePath.c_str(), F_OK) != 0;
#endif
    result.status = gone ? HID_UART_DEVICE_NOT_FOUND : HID_UART_DEVICE_ACCESS_ERROR;
    return result;
}

std::unique_ptr<HidDeviceMonitor> HidapiBackend::openMonitor(HidDeviceEventSink sink)
{
#ifdef _WIN32
    // The program follows the HID interface class itself (RegisterDeviceNotification), as it
    // does with the vendor's own library.
    (void)sink;
    return nullptr;
#else
    return UdevMonitor::create(std::move(sink));
#endif
}
