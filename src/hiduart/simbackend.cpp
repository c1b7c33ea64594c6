#include "simbackend.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>
#include <sys/eventfd.h>
#include <unistd.h>

// Pending events of one monitor; its eventfd is readable exactly while the queue is not empty.
struct SimBackend::EventQueue
{
    std::mutex mutex;
    std::deque<std::pair<std::string, bool>> events;
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);

    ~EventQueue()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void push(const std::string &path, bool arrived)
    {
        std::lock_guard lock(mutex);
        events.emplace_back(path, arrived);
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(fd, &one, sizeof one);
    }
    bool pop(std::string &path, bool &arrived)
    {
        std::lock_guard lock(mutex);
        if (events.empty())
            return false;
        std::tie(path, arrived) = events.front();
        events.pop_front();
        if (events.empty()) {
            uint64_t count;
            [[maybe_unused]] const auto n = ::read(fd, &count, sizeof count);
        }
        return true;
    }
};

namespace {

class SimMonitor : public HidDeviceMonitor
{
public:
    explicit SimMonitor(std::shared_ptr<SimBackend::EventQueue> queue)
        : m_queue(std::move(queue))
    {}
    int fd() const override { return m_queue->fd; }
    bool readEvent(std::string &path, bool &arrived) override
    {
        return m_queue->pop(path, arrived);
    }

private:
    std::shared_ptr<SimBackend::EventQueue> m_queue;
};

} // namespace

SimBackend::~SimBackend() = default;

std::vector<SimBackend::Bridge>::iterator SimBackend::findBridge(const std::string &serial)
{
    return std::find_if(m_bridges.begin(), m_bridges.end(),
                        [&serial](const Bridge &b) { return b.info.serial == serial; });
}

void SimBackend::raise(const HidDeviceInfo &info, bool arrived)
{
    const std::string path = hidUartDevicePath(info.nodePath, info.vid, info.pid);
    std::erase_if(m_queues, [](const auto &q) { return q.expired(); });
    for (const auto &weak : m_queues) {
        if (const auto queue = weak.lock())
            queue->push(path, arrived);
    }
}

std::shared_ptr<Cp2110Emulator> SimBackend::plug(const std::string &serial, uint16_t vid,
                                                 uint16_t pid, bool notify)
{
    std::lock_guard lock(m_mutex);
    if (findBridge(serial) != m_bridges.end())
        return nullptr;
    // Like the kernel, the lowest free node number is given out.
    std::set<std::string> used;
    for (const Bridge &b : m_bridges)
        used.insert(b.info.nodePath);
    int number = 0;
    while (used.count("/sim/hidraw" + std::to_string(number)))
        ++number;
    Bridge bridge;
    bridge.info.nodePath = "/sim/hidraw" + std::to_string(number);
    bridge.info.vid = vid;
    bridge.info.pid = pid;
    bridge.info.serial = serial;
    bridge.info.manufacturer = "Silicon Laboratories (simulated)";
    bridge.info.product = "CP2110 HID USB-to-UART Bridge (simulated)";
    bridge.chip = std::make_shared<Cp2110Emulator>();
    m_bridges.push_back(bridge);
    if (notify)
        raise(bridge.info, true);
    return bridge.chip;
}

bool SimBackend::unplug(const std::string &serial, bool notify)
{
    std::lock_guard lock(m_mutex);
    const auto it = findBridge(serial);
    if (it == m_bridges.end())
        return false;
    it->chip->unplug();
    const HidDeviceInfo info = it->info;
    m_bridges.erase(it);
    if (notify)
        raise(info, false);
    return true;
}

void SimBackend::unplugAll(bool notify)
{
    std::lock_guard lock(m_mutex);
    for (const Bridge &b : m_bridges) {
        b.chip->unplug();
        if (notify)
            raise(b.info, false);
    }
    m_bridges.clear();
}

std::shared_ptr<Cp2110Emulator> SimBackend::chip(const std::string &serial) const
{
    std::lock_guard lock(m_mutex);
    for (const Bridge &b : m_bridges) {
        if (b.info.serial == serial)
            return b.chip;
    }
    return nullptr;
}

bool SimBackend::setNodePath(const std::string &serial, const std::string &path)
{
    std::lock_guard lock(m_mutex);
    const auto it = findBridge(serial);
    if (it == m_bridges.end())
        return false;
    it->info.nodePath = path;
    return true;
}

bool SimBackend::failNextOpen(const std::string &serial, HID_UART_STATUS status)
{
    std::lock_guard lock(m_mutex);
    const auto it = findBridge(serial);
    if (it == m_bridges.end())
        return false;
    it->failNextOpen = status == HID_UART_SUCCESS ? HID_UART_DEVICE_ACCESS_ERROR : status;
    return true;
}

std::vector<HidDeviceInfo> SimBackend::enumerate(uint16_t vid, uint16_t pid)
{
    std::lock_guard lock(m_mutex);
    std::vector<HidDeviceInfo> devices;
    for (const Bridge &b : m_bridges) {
        if ((vid == 0 || vid == b.info.vid) && (pid == 0 || pid == b.info.pid))
            devices.push_back(b.info);
    }
    return devices;
}

HidOpenResult SimBackend::open(const HidDeviceInfo &info)
{
    std::lock_guard lock(m_mutex);
    HidOpenResult result;
    const auto it = std::find_if(m_bridges.begin(), m_bridges.end(), [&info](const Bridge &b) {
        return b.info.nodePath == info.nodePath;
    });
    if (it == m_bridges.end()) {
        result.status = HID_UART_DEVICE_NOT_FOUND;
    } else if (it->failNextOpen != HID_UART_SUCCESS) {
        result.status = it->failNextOpen;
        it->failNextOpen = HID_UART_SUCCESS;
    } else {
        result.device = std::make_unique<EmulatedHidDevice>(it->chip);
    }
    return result;
}

std::unique_ptr<HidDeviceMonitor> SimBackend::openMonitor()
{
    auto queue = std::make_shared<EventQueue>();
    if (queue->fd < 0)
        return nullptr;
    std::lock_guard lock(m_mutex);
    m_queues.push_back(queue);
    return std::make_unique<SimMonitor>(std::move(queue));
}
