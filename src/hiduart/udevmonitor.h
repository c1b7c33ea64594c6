#pragma once

// Arrival and removal of hidraw nodes from a udev monitor, as the same path texts that the
// device strings carry, delivered from a thread of the monitor's own that waits on udev.

#include "hidbackend.h"

#include <map>
#include <thread>
#include <utility>

struct udev;
struct udev_monitor;
struct udev_device;

class UdevMonitor : public HidDeviceMonitor
{
public:
    static std::unique_ptr<UdevMonitor> create(HidDeviceEventSink sink);
    ~UdevMonitor() override;

    // "0003:000010C4:0000EA80" (bus, vendor, product) as the hid parent reports it.
    static bool parseHidId(const char *hidId, uint16_t &vid, uint16_t &pid);

private:
    UdevMonitor(udev *context, udev_monitor *monitor, int stop, HidDeviceEventSink sink);
    static bool idsOf(udev_device *hidraw, uint16_t &vid, uint16_t &pid);
    void rememberPresent();
    // Takes one pending event without waiting; false when none is pending.
    bool readEvent(std::string &path, bool &arrived);
    void watch();

    udev *m_udev;
    udev_monitor *m_monitor;
    int m_stop; // an eventfd that ends the watch
    HidDeviceEventSink m_sink;
    std::thread m_thread;
    // A removed node has no parent left to ask, so the ids are remembered from its arrival.
    std::map<std::string, std::pair<uint16_t, uint16_t>> m_known;
};
