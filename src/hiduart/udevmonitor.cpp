#include "udevmonitor.h"

#include <libudev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

std::unique_ptr<UdevMonitor> UdevMonitor::create(HidDeviceEventSink sink)
{
    udev *context = udev_new();
    if (!context)
        return nullptr;
    udev_monitor *monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    // The watch drains what is pending and then waits again: a read must never block.
    const int fd = udev_monitor_get_fd(monitor);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0) {
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    std::unique_ptr<UdevMonitor> result(new UdevMonitor(context, monitor, stop, std::move(sink)));
    result->rememberPresent();
    result->m_thread = std::thread(&UdevMonitor::watch, result.get());
    return result;
}

UdevMonitor::UdevMonitor(udev *context, udev_monitor *monitor, int stop, HidDeviceEventSink sink)
    : m_udev(context)
    , m_monitor(monitor)
    , m_stop(stop)
    , m_sink(std::move(sink))
{}

UdevMonitor::~UdevMonitor()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_stop, &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_stop);
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

void UdevMonitor::watch()
{
    pollfd watched[2] = {{m_stop, POLLIN, 0}, {udev_monitor_get_fd(m_monitor), POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[0].revents != 0)
            return;
        if (watched[1].revents & (POLLERR | POLLNVAL))
            return;
        std::string path;
        bool arrived = false;
        while (readEvent(path, arrived))
            m_sink(path, arrived);
    }
}

bool UdevMonitor::parseHidId(const char *hidId, uint16_t &vid, uint16_t &pid)
{
    unsigned bus = 0, v = 0, p = 0;
    if (!hidId || std::sscanf(hidId, "%x:%x:%x", &bus, &v, &p) != 3 || v > 0xFFFF || p > 0xFFFF)
        return false;
    vid = static_cast<uint16_t>(v);
    pid = static_cast<uint16_t>(p);
    return true;
}

bool UdevMonitor::idsOf(udev_device *hidraw, uint16_t &vid, uint16_t &pid)
{
    udev_device *hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    return hid && parseHidId(udev_device_get_property_value(hid, "HID_ID"), vid, pid);
}

void UdevMonitor::rememberPresent()
{
    udev_enumerate *e = udev_enumerate_new(m_udev);
    if (!e)
        return;
    udev_enumerate_add_match_subsystem(e, "hidraw");
    udev_enumerate_scan_devices(e);
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        udev_device *dev = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        if (!dev)
            continue;
        uint16_t vid = 0, pid = 0;
        const char *node = udev_device_get_devnode(dev);
        if (node && idsOf(dev, vid, pid))
            m_known[node] = {vid, pid};
        udev_device_unref(dev);
    }
    udev_enumerate_unref(e);
}

bool UdevMonitor::readEvent(std::string &path, bool &arrived)
{
    while (udev_device *dev = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(dev);
        const char *node = udev_device_get_devnode(dev);
        const bool add = action && std::strcmp(action, "add") == 0;
        const bool remove = action && std::strcmp(action, "remove") == 0;
        if (!node || (!add && !remove)) {
            udev_device_unref(dev);
            continue;
        }
        uint16_t vid = 0, pid = 0;
        bool haveIds = false;
        if (add) {
            haveIds = idsOf(dev, vid, pid);
            if (haveIds)
                m_known[node] = {vid, pid};
        } else if (const auto it = m_known.find(node); it != m_known.end()) {
            std::tie(vid, pid) = it->second;
            haveIds = true;
            m_known.erase(it);
        } else {
            haveIds = idsOf(dev, vid, pid);
        }
        path = haveIds ? hidUartDevicePath(node, vid, pid) : std::string(node);
        arrived = add;
        udev_device_unref(dev);
        return true;
    }
    return false;
}
