#include "hiduartcore.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>

#ifdef __unix__
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace {

// One program per cable: opening the bridge purges its receive FIFO and closing it disables its
// UART, either of which silences another program reading it. So every open takes a lock on the
// device node first and keeps it while open. Returns what holds it, -1 when the node cannot be
// opened for locking (the back end's own open then says why), or -2 when another program holds
// the node.
#ifdef __unix__
// An advisory lock on the node (flock, the lock serial tools take).
intptr_t lockNode(const std::string &node)
{
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return fd;
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? -2 : -1;
}

void unlockNode(intptr_t fd)
{
    if (fd >= 0)
        ::close(int(fd));
}
#elif defined(_WIN32)
// An open that shares nothing fails while any other program has the node open; a mutex named
// after the node keeps a second program of ours from slipping in between that test and the
// back end's own open (which shares reading and writing). The system drops the mutex with its
// last handle, so a crashed program leaves no lock behind.
intptr_t lockNode(const std::string &node)
{
    const HANDLE probe = CreateFileA(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? -2 : -1;
    CloseHandle(probe);
    // Case does not matter in device paths; a backslash would name a namespace.
    uint32_t hash = 2166136261u;
    for (const char c : node) {
        hash ^= uint8_t(std::tolower(static_cast<unsigned char>(c)));
        hash *= 16777619u;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Global\\Lumetra-HID-%08x", unsigned(hash));
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex)
        return -1;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return -2;
    }
    return reinterpret_cast<intptr_t>(mutex);
}

void unlockNode(intptr_t lock)
{
    if (lock >= 0)
        CloseHandle(reinterpret_cast<HANDLE>(lock));
}
#else
intptr_t lockNode(const std::string &)
{
    return -1;
}

void unlockNode(intptr_t) {}
#endif

// Multi-byte numbers in the chip's reports are big-endian.
uint16_t be16(const uint8_t *p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

enum : uint8_t {
    ReportUartEnable = 0x41,
    ReportUartStatus = 0x42,
    ReportPurgeFifos = 0x43,
    ReportGpioValues = 0x44,
    ReportVersion = 0x46,
    ReportUartConfig = 0x50,
    ReportPinConfig = 0x66,
};
enum : uint8_t { PurgeTransmit = 0x01, PurgeReceive = 0x02 };
constexpr size_t MaxDataPerReport = 63;
// A blocking read waits in slices so that a Close from another thread ends it promptly.
constexpr int ReadSliceMs = 20;

// Copies into a caller's 260-byte buffer, cutting only at a UTF-8 character boundary.
void copyText(char *out, const std::string &text)
{
    size_t n = std::min<size_t>(text.size(), HID_UART_DEVICE_STRLEN - 1);
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

bool stringOf(const HidDeviceInfo &info, uint32_t option, std::string &text)
{
    char hex[8];
    switch (option) {
    case HID_UART_GET_VID_STR:
        std::snprintf(hex, sizeof hex, "%04X", info.vid);
        text = hex;
        return true;
    case HID_UART_GET_PID_STR:
        std::snprintf(hex, sizeof hex, "%04X", info.pid);
        text = hex;
        return true;
    case HID_UART_GET_PATH_STR:
        text = hidUartDevicePath(info.nodePath, info.vid, info.pid);
        return true;
    case HID_UART_GET_SERIAL_STR:
        text = info.serial;
        return true;
    case HID_UART_GET_MANUFACTURER_STR:
        text = info.manufacturer;
        return true;
    case HID_UART_GET_PRODUCT_STR:
        text = info.product;
        return true;
    default:
        return false;
    }
}

} // namespace

std::string hidUartDevicePath(const std::string &nodePath, uint16_t vid, uint16_t pid)
{
    std::string lower = nodePath;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower.find("vid_") != std::string::npos && lower.find("pid_") != std::string::npos)
        return nodePath;
    char ids[32];
    std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x", vid, pid);
    return nodePath + ids;
}

struct HidUartCore::OpenDevice
{
    std::unique_ptr<HidDevice> hid;
    HidDeviceInfo info;
    std::mutex ioMutex;   // one report transfer at a time on the device
    std::mutex readMutex; // one Read at a time; guards rx
    std::deque<uint8_t> rx;
    std::atomic<bool> closed{false};
    std::atomic<uint32_t> readTimeoutMs{1000};
    std::atomic<uint32_t> writeTimeoutMs{1000};
    intptr_t nodeLock = -1;
    ~OpenDevice() { unlockNode(nodeLock); }
};

HidUartCore::HidUartCore(HidBackend &backend)
    : m_backend(backend)
{}

HidUartCore::~HidUartCore()
{
    // Each source is stopped here, on this thread: dropped along with the map, a monitor could
    // be freed last by its own source's thread, in the middle of a delivery.
    std::vector<int32_t> open;
    {
        std::lock_guard lock(m_monitorsMutex);
        for (const auto &entry : m_monitors)
            open.push_back(entry.first);
    }
    for (const int32_t id : open)
        closeDeviceMonitor(id);
}

std::shared_ptr<HidUartCore::OpenDevice> HidUartCore::find(HID_UART_DEVICE device)
{
    std::lock_guard lock(m_devicesMutex);
    const auto it = m_devices.find(reinterpret_cast<uintptr_t>(device));
    return it == m_devices.end() ? nullptr : it->second;
}

HID_UART_STATUS HidUartCore::getFeature(OpenDevice &d, uint8_t id, uint8_t *payload, size_t length)
{
    uint8_t report[64] = {id};
    int n;
    {
        std::lock_guard io(d.ioMutex);
        if (d.closed)
            return HID_UART_INVALID_HANDLE;
        n = d.hid->getFeatureReport(report, length + 1);
    }
    if (n < static_cast<int>(length + 1))
        return HID_UART_DEVICE_IO_FAILED;
    std::memcpy(payload, report + 1, length);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::setFeature(OpenDevice &d, const uint8_t *report, size_t length)
{
    std::lock_guard io(d.ioMutex);
    if (d.closed)
        return HID_UART_INVALID_HANDLE;
    return d.hid->sendFeatureReport(report, length) < 0 ? HID_UART_DEVICE_IO_FAILED
                                                        : HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::getNumDevices(uint32_t *numDevices, uint16_t vid, uint16_t pid)
{
    if (!numDevices)
        return HID_UART_INVALID_PARAMETER;
    std::lock_guard lock(m_backendMutex);
    *numDevices = static_cast<uint32_t>(m_backend.enumerate(vid, pid).size());
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::getString(uint32_t deviceNum, uint16_t vid, uint16_t pid, char *out,
                                       uint32_t option)
{
    if (!out || option < HID_UART_GET_VID_STR || option > HID_UART_GET_PRODUCT_STR)
        return HID_UART_INVALID_PARAMETER;
    std::vector<HidDeviceInfo> devices;
    {
        std::lock_guard lock(m_backendMutex);
        devices = m_backend.enumerate(vid, pid);
    }
    if (deviceNum >= devices.size())
        return HID_UART_DEVICE_NOT_FOUND;
    std::string text;
    stringOf(devices[deviceNum], option, text);
    copyText(out, text);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::getOpenedString(HID_UART_DEVICE device, char *out, uint32_t option)
{
    if (!out || option < HID_UART_GET_VID_STR || option > HID_UART_GET_PRODUCT_STR)
        return HID_UART_INVALID_PARAMETER;
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    std::string text;
    stringOf(d->info, option, text);
    copyText(out, text);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::getHidGuid(void *guid)
{
    if (!guid)
        return HID_UART_INVALID_PARAMETER;
    // {4D1E55B2-F16F-11CF-88CB-001111000030} in the in-memory layout of a Windows GUID.
    const uint32_t data1 = 0x4D1E55B2;
    const uint16_t data2 = 0xF16F;
    const uint16_t data3 = 0x11CF;
    const uint8_t data4[8] = {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};
    auto *p = static_cast<uint8_t *>(guid);
    std::memcpy(p, &data1, 4);
    std::memcpy(p + 4, &data2, 2);
    std::memcpy(p + 6, &data3, 2);
    std::memcpy(p + 8, data4, 8);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::open(HID_UART_DEVICE *device, uint32_t deviceNum, uint16_t vid,
                                  uint16_t pid)
{
    if (!device)
        return HID_UART_INVALID_PARAMETER;
    *device = nullptr;
    auto d = std::make_shared<OpenDevice>();
    {
        std::lock_guard lock(m_backendMutex);
        const auto devices = m_backend.enumerate(vid, pid);
        if (deviceNum >= devices.size())
            return HID_UART_DEVICE_NOT_FOUND;
        d->info = devices[deviceNum];
        d->nodeLock = lockNode(d->info.nodePath);
        if (d->nodeLock == -2)
            return HID_UART_DEVICE_IN_USE; // nothing is sent to a bridge in use
        HidOpenResult opened = m_backend.open(d->info);
        if (!opened.device)
            return opened.status != HID_UART_SUCCESS ? opened.status : HID_UART_UNKNOWN_ERROR;
        d->hid = std::move(opened.device);
    }
    // Anything that does not answer the version report is not a bridge we can drive.
    uint8_t version[2];
    if (getFeature(*d, ReportVersion, version, sizeof version) != HID_UART_SUCCESS)
        return HID_UART_DEVICE_NOT_SUPPORTED;
    // The chip passes on received bytes only while its UART is enabled; what it held from
    // before this open is stale and goes.
    const uint8_t enable[2] = {ReportUartEnable, 1};
    const uint8_t purge[2] = {ReportPurgeFifos, PurgeReceive};
    if (setFeature(*d, enable, sizeof enable) != HID_UART_SUCCESS
        || setFeature(*d, purge, sizeof purge) != HID_UART_SUCCESS)
        return HID_UART_DEVICE_IO_FAILED;

    std::lock_guard lock(m_devicesMutex);
    // Handles are never reused, so a stale one can never reach a newer device.
    const uintptr_t handle = m_nextHandle++;
    m_devices.emplace(handle, std::move(d));
    *device = reinterpret_cast<HID_UART_DEVICE>(handle);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::close(HID_UART_DEVICE device)
{
    std::shared_ptr<OpenDevice> d;
    {
        std::lock_guard lock(m_devicesMutex);
        const auto it = m_devices.find(reinterpret_cast<uintptr_t>(device));
        if (it == m_devices.end())
            return HID_UART_INVALID_HANDLE;
        d = std::move(it->second);
        m_devices.erase(it);
    }
    // A read in progress on another thread holds its own reference: the HID device is released
    // when that read returns, never under it.
    std::lock_guard io(d->ioMutex);
    d->closed = true;
    // Best effort: a bridge that is already unplugged cannot be told, and closing still succeeds.
    const uint8_t disable[2] = {ReportUartEnable, 0};
    d->hid->sendFeatureReport(disable, sizeof disable);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::isOpened(HID_UART_DEVICE device, int32_t *opened)
{
    if (!opened)
        return HID_UART_INVALID_PARAMETER;
    *opened = find(device) ? 1 : 0;
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::readFeature(HID_UART_DEVICE device, uint8_t id, uint8_t *payload,
                                         size_t length)
{
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    return getFeature(*d, id, payload, length);
}

HID_UART_STATUS HidUartCore::getPartNumber(HID_UART_DEVICE device, uint8_t *part, uint8_t *version)
{
    if (!part || !version)
        return HID_UART_INVALID_PARAMETER;
    uint8_t payload[2];
    const HID_UART_STATUS status = readFeature(device, ReportVersion, payload, sizeof payload);
    if (status == HID_UART_SUCCESS) {
        *part = payload[0];
        *version = payload[1];
    }
    return status;
}

HID_UART_STATUS HidUartCore::setUartConfig(HID_UART_DEVICE device, uint32_t baud, uint8_t dataBits,
                                           uint8_t parity, uint8_t stopBits, uint8_t flow)
{
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    if (baud < HID_UART_MIN_BAUD_RATE || baud > HID_UART_MAX_BAUD_RATE
        || dataBits > HID_UART_EIGHT_DATA_BITS || parity > HID_UART_SPACE_PARITY
        || stopBits > HID_UART_LONG_STOP_BIT || flow > HID_UART_RTS_CTS_FLOW_CONTROL)
        return HID_UART_INVALID_PARAMETER;
    // The report orders the fields differently from the call: parity and flow come first.
    const uint8_t report[9] = {ReportUartConfig,
                               static_cast<uint8_t>(baud >> 24),
                               static_cast<uint8_t>(baud >> 16),
                               static_cast<uint8_t>(baud >> 8),
                               static_cast<uint8_t>(baud),
                               parity,
                               flow,
                               dataBits,
                               stopBits};
    return setFeature(*d, report, sizeof report);
}

HID_UART_STATUS HidUartCore::getUartConfig(HID_UART_DEVICE device, uint32_t *baud,
                                           uint8_t *dataBits, uint8_t *parity, uint8_t *stopBits,
                                           uint8_t *flow)
{
    if (!baud || !dataBits || !parity || !stopBits || !flow)
        return HID_UART_INVALID_PARAMETER;
    uint8_t p[8];
    const HID_UART_STATUS status = readFeature(device, ReportUartConfig, p, sizeof p);
    if (status != HID_UART_SUCCESS)
        return status;
    *baud = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    *parity = p[4];
    *flow = p[5];
    *dataBits = p[6];
    *stopBits = p[7];
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::setTimeouts(HID_UART_DEVICE device, uint32_t readMs, uint32_t writeMs)
{
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    d->readTimeoutMs = readMs;
    d->writeTimeoutMs = writeMs;
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::getTimeouts(HID_UART_DEVICE device, uint32_t *readMs,
                                         uint32_t *writeMs)
{
    if (!readMs || !writeMs)
        return HID_UART_INVALID_PARAMETER;
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    *readMs = d->readTimeoutMs;
    *writeMs = d->writeTimeoutMs;
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::read(HID_UART_DEVICE device, uint8_t *buffer, uint32_t want,
                                  uint32_t *got)
{
    if (!buffer || !got)
        return HID_UART_INVALID_PARAMETER;
    *got = 0;
    if (want == 0 || want > HID_UART_MAX_READ_SIZE)
        return HID_UART_INVALID_REQUEST_LENGTH;
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;

    std::lock_guard readLock(d->readMutex);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(d->readTimeoutMs.load());
    bool failed = false;
    // One input report into rx: 1 when a report came, 0 when none, -1 when the device failed.
    const auto pull = [&d](int waitMs) {
        uint8_t report[64];
        int n;
        {
            std::lock_guard io(d->ioMutex);
            if (d->closed)
                return -1;
            n = d->hid->readTimeout(report, sizeof report, waitMs);
        }
        if (n <= 0)
            return n < 0 ? -1 : 0;
        // The report id is the count of UART bytes that follow; other ids carry no data.
        const size_t count = std::min<size_t>(report[0], static_cast<size_t>(n - 1));
        if (report[0] >= 1 && report[0] <= MaxDataPerReport)
            d->rx.insert(d->rx.end(), report + 1, report + 1 + count);
        return 1;
    };

    // Everything already queued is taken first, without waiting.
    while (d->rx.size() < want) {
        const int r = pull(0);
        failed = r < 0;
        if (r <= 0)
            break;
    }
    while (!failed && d->rx.size() < want) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        failed = pull(static_cast<int>(std::min<int64_t>(left.count(), ReadSliceMs))) < 0;
    }

    const size_t n = std::min<size_t>(want, d->rx.size());
    std::copy_n(d->rx.begin(), n, buffer);
    d->rx.erase(d->rx.begin(), d->rx.begin() + static_cast<std::ptrdiff_t>(n));
    *got = static_cast<uint32_t>(n);
    // Bytes collected before a failure are handed out; the failure shows on the next call.
    if (failed && n == 0)
        return HID_UART_READ_ERROR;
    return n < want ? HID_UART_READ_TIMED_OUT : HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::write(HID_UART_DEVICE device, const uint8_t *buffer, uint32_t count,
                                   uint32_t *written)
{
    if (!buffer || !written)
        return HID_UART_INVALID_PARAMETER;
    *written = 0;
    if (count == 0 || count > HID_UART_MAX_WRITE_SIZE)
        return HID_UART_INVALID_REQUEST_LENGTH;
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    while (*written < count) {
        const size_t chunk = std::min<size_t>(MaxDataPerReport, count - *written);
        uint8_t report[64];
        report[0] = static_cast<uint8_t>(chunk);
        std::memcpy(report + 1, buffer + *written, chunk);
        std::lock_guard io(d->ioMutex);
        if (d->closed || d->hid->write(report, chunk + 1) < 0)
            return HID_UART_WRITE_ERROR;
        *written += static_cast<uint32_t>(chunk);
    }
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::flushBuffers(HID_UART_DEVICE device, int32_t transmit, int32_t receive)
{
    const auto d = find(device);
    if (!d)
        return HID_UART_INVALID_HANDLE;
    const uint8_t which = (transmit ? PurgeTransmit : 0) | (receive ? PurgeReceive : 0);
    if (which == 0)
        return HID_UART_SUCCESS;
    const uint8_t report[2] = {ReportPurgeFifos, which};
    const HID_UART_STATUS status = setFeature(*d, report, sizeof report);
    if (status == HID_UART_SUCCESS && receive) {
        std::lock_guard readLock(d->readMutex);
        d->rx.clear();
    }
    return status;
}

HID_UART_STATUS HidUartCore::getUartStatus(HID_UART_DEVICE device, uint16_t *txFifo,
                                           uint16_t *rxFifo, uint8_t *errorStatus,
                                           uint8_t *lineBreak)
{
    if (!txFifo || !rxFifo || !errorStatus || !lineBreak)
        return HID_UART_INVALID_PARAMETER;
    uint8_t p[6];
    const HID_UART_STATUS status = readFeature(device, ReportUartStatus, p, sizeof p);
    if (status != HID_UART_SUCCESS)
        return status;
    *txFifo = be16(p);
    *rxFifo = be16(p + 2);
    *errorStatus = p[4];
    *lineBreak = p[5];
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::readLatch(HID_UART_DEVICE device, uint16_t *latch)
{
    if (!latch)
        return HID_UART_INVALID_PARAMETER;
    uint8_t p[2];
    const HID_UART_STATUS status = readFeature(device, ReportGpioValues, p, sizeof p);
    if (status == HID_UART_SUCCESS)
        *latch = be16(p);
    return status;
}

HID_UART_STATUS HidUartCore::getPinConfig(HID_UART_DEVICE device, uint8_t *pins,
                                          int32_t *useSuspend, uint16_t *suspendValue,
                                          uint16_t *suspendMode, uint8_t *rs485Level,
                                          uint8_t *clkDiv)
{
    if (!pins || !useSuspend || !suspendValue || !suspendMode || !rs485Level || !clkDiv)
        return HID_UART_INVALID_PARAMETER;
    uint8_t p[20];
    const HID_UART_STATUS status = readFeature(device, ReportPinConfig, p, sizeof p);
    if (status != HID_UART_SUCCESS)
        return status;
    std::memcpy(pins, p, 13);
    *useSuspend = p[13];
    *suspendValue = be16(p + 14);
    *suspendMode = be16(p + 16);
    *rs485Level = p[18];
    *clkDiv = p[19];
    return HID_UART_SUCCESS;
}

// The events of one monitor, queued until the caller's thread reads them. `pending` runs under
// the mutex, so that once a close has taken it no call is running or still to come.
struct HidUartCore::Monitor
{
    std::mutex mutex;
    std::deque<std::pair<std::string, bool>> events;
    HidUart_Lumetra_DeviceEventsPending_t pending = nullptr;
    void *context = nullptr;
    bool closed = false;
    std::unique_ptr<HidDeviceMonitor> source;

    void push(const std::string &path, bool arrived)
    {
        std::lock_guard lock(mutex);
        if (closed)
            return;
        events.emplace_back(path, arrived);
        if (pending)
            pending(context);
    }
};

int32_t HidUartCore::openDeviceMonitor(HidUart_Lumetra_DeviceEventsPending_t pending, void *context)
{
    auto monitor = std::make_shared<Monitor>();
    monitor->pending = pending;
    monitor->context = context;
    const std::weak_ptr<Monitor> target = monitor;
    {
        std::lock_guard lock(m_backendMutex);
        monitor->source = m_backend.openMonitor([target](const std::string &path, bool arrived) {
            if (const auto m = target.lock())
                m->push(path, arrived);
        });
    }
    if (!monitor->source)
        return -1;
    std::lock_guard lock(m_monitorsMutex);
    const int32_t id = m_nextMonitor++;
    m_monitors[id] = std::move(monitor);
    return id;
}

HID_UART_STATUS HidUartCore::readDeviceEvent(int32_t monitor, char *path, int32_t *arrived)
{
    if (!path || !arrived)
        return HID_UART_INVALID_PARAMETER;
    std::shared_ptr<Monitor> m;
    {
        std::lock_guard lock(m_monitorsMutex);
        const auto it = m_monitors.find(monitor);
        if (it == m_monitors.end())
            return HID_UART_INVALID_HANDLE;
        m = it->second;
    }
    std::lock_guard lock(m->mutex);
    if (m->events.empty())
        return HID_UART_READ_TIMED_OUT;
    copyText(path, m->events.front().first);
    *arrived = m->events.front().second ? 1 : 0;
    m->events.pop_front();
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartCore::closeDeviceMonitor(int32_t monitor)
{
    std::shared_ptr<Monitor> doomed;
    {
        std::lock_guard lock(m_monitorsMutex);
        const auto it = m_monitors.find(monitor);
        if (it == m_monitors.end())
            return HID_UART_INVALID_HANDLE;
        doomed = std::move(it->second);
        m_monitors.erase(it);
    }
    {
        std::lock_guard lock(doomed->mutex);
        doomed->closed = true;
    }
    // Outside the queue's mutex: a source that is delivering right now finishes that first.
    doomed->source.reset();
    return HID_UART_SUCCESS;
}
