#pragma once

// The seam between the bridge logic (HidUartCore) and whatever carries HID reports: hidapi for
// real bridges, the CP2110 emulator for virtual ones and for tests. It holds only the few hid_*
// operations the logic needs, with hidapi's conventions (byte 0 of every buffer is the report id,
// -1 means failure), so the real back end stays a thin forwarding layer.

#include "hiduart_api.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct HidDeviceInfo
{
    std::string nodePath; // what the back end opens (a hidraw node, a virtual name)
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string serial; // 8-bit (UTF-8) texts
    std::string manufacturer;
    std::string product;
};

class HidDevice
{
public:
    virtual ~HidDevice() = default;
    // Like hid_send_feature_report / hid_get_feature_report: bytes transferred, or -1.
    virtual int sendFeatureReport(const uint8_t *data, size_t length) = 0;
    virtual int getFeatureReport(uint8_t *data, size_t length) = 0;
    // Like hid_read_timeout: one input report (report id first), 0 when none came within
    // timeoutMs (0 = do not wait), -1 on failure (device gone).
    virtual int readTimeout(uint8_t *data, size_t length, int timeoutMs) = 0;
    // Like hid_write: one output report, report id first.
    virtual int write(const uint8_t *data, size_t length) = 0;
};

// Where a hot-plug source delivers: one call per event, from any thread.
using HidDeviceEventSink = std::function<void(const std::string &path, bool arrived)>;

// A running hot-plug source. It delivers to its sink until it is destroyed; once its destructor
// has returned, the sink is not running and is never called again.
class HidDeviceMonitor
{
public:
    virtual ~HidDeviceMonitor() = default;
};

struct HidOpenResult
{
    std::unique_ptr<HidDevice> device;
    HID_UART_STATUS status = HID_UART_SUCCESS;
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;
    // A snapshot of the present HID devices; vid/pid 0 match anything.
    virtual std::vector<HidDeviceInfo> enumerate(uint16_t vid, uint16_t pid) = 0;
    virtual HidOpenResult open(const HidDeviceInfo &info) = 0;
    // nullptr when hot-plug is not available.
    virtual std::unique_ptr<HidDeviceMonitor> openMonitor(HidDeviceEventSink sink) = 0;
};

// The path text every string and event uses: the node with the ids appended, because callers
// find "VID" and "PID" in it (a bare /dev/hidrawN carries neither). A node that names them
// already (a Windows device interface path) is the path as it stands, so that it equals the
// name a device notification carries.
std::string hidUartDevicePath(const std::string &nodePath, uint16_t vid, uint16_t pid);
