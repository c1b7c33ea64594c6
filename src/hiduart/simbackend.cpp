#include "simbackend.h"

#include <algorithm>
#include <cstdint>
#include <set>

class SimBackend::Monitor : public HidDeviceMonitor
{
public:
    Monitor(SimBackend &backend, int id)
        : m_backend(backend)
        , m_id(id)
    {}
    ~Monitor() override { m_backend.removeSink(m_id); }

private:
    SimBackend &m_backend;
    const int m_id;
};

SimBackend::~SimBackend() = default;

std::vector<SimBackend::Bridge>::iterator SimBackend::findBridge(const std::string &serial)
{
    return std::find_if(m_bridges.begin(), m_bridges.end(),
                        [&serial](const Bridge &b) { return b.info.serial == serial; });
}

void SimBackend::raise(const HidDeviceInfo &info, bool arrived)
{
    const std::string path = hidUartDevicePath(info.nodePath, info.vid, info.pid);
    for (const auto &sink : m_sinks)
        sink.second(path, arrived);
}

std::shared_ptr<Cp2110Emulator> SimBackend::plug(const std::string &serial, uint16_t vid,
                                                 uint16_t pid, bool notify)
{
    std::lock_guard lock(m_mutex);
    if (findBridge(serial) != m_bridges.end())
        return nullptr;
    HidDeviceInfo info;
    info.vid = vid;
    info.pid = pid;
    info.serial = serial;
    info.manufacturer = "Silicon Laboratories (simulated)";
    info.product = "CP2110 HID USB-to-UART Bridge (simulated)";
    auto chip = std::make_shared<Cp2110Emulator>();
    plugLocked(std::move(info), chip, notify);
    return chip;
}

void SimBackend::plugLocked(HidDeviceInfo info, std::shared_ptr<Cp2110Emulator> chip, bool notify)
{
    // Like the kernel, the lowest free node number is given out.
    std::set<std::string> used;
    for (const Bridge &b : m_bridges)
        used.insert(b.info.nodePath);
    int number = 0;
    while (used.count("/sim/hidraw" + std::to_string(number)))
        ++number;
    Bridge bridge;
    bridge.info = std::move(info);
    bridge.info.nodePath = "/sim/hidraw" + std::to_string(number);
    bridge.chip = std::move(chip);
    m_bridges.push_back(bridge);
    if (notify)
        raise(bridge.info, true);
}

std::vector<SimBackend::Pulled> SimBackend::pullAll()
{
    std::lock_guard lock(m_mutex);
    std::vector<Pulled> pulled;
    for (const Bridge &b : m_bridges) {
        b.chip->unplug();
        raise(b.info, false);
        pulled.push_back({b.info, b.chip});
    }
    m_bridges.clear();
    return pulled;
}

void SimBackend::plugBack(const std::vector<Pulled> &pulled)
{
    std::lock_guard lock(m_mutex);
    for (const Pulled &p : pulled)
        if (findBridge(p.info.serial) == m_bridges.end())
            plugLocked(p.info, p.chip->replugged(), true);
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

std::unique_ptr<HidDeviceMonitor> SimBackend::openMonitor(HidDeviceEventSink sink)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextSink++;
    m_sinks.emplace_back(id, std::move(sink));
    return std::make_unique<Monitor>(*this, id);
}

void SimBackend::removeSink(int id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_sinks, [id](const auto &sink) { return sink.first == id; });
}
