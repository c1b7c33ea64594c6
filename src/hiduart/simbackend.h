#pragma once

// Virtual bridges behind the HID seam: a set of emulated CP2110 chips that can be plugged and
// unplugged at run time, raising the same arrival and removal events a udev monitor would, on
// the thread that plugs or unplugs.

#include "cp2110emulator.h"
#include "hidbackend.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

class SimBackend : public HidBackend
{
public:
    SimBackend() = default;
    ~SimBackend() override;

    // nullptr when a bridge with that serial text is already plugged.
    std::shared_ptr<Cp2110Emulator> plug(const std::string &serial, uint16_t vid, uint16_t pid,
                                         bool notify = true);
    bool unplug(const std::string &serial, bool notify = true);
    void unplugAll(bool notify);
    // A bridge pulled out and kept, to be plugged in again.
    struct Pulled
    {
        HidDeviceInfo info;
        std::shared_ptr<Cp2110Emulator> chip;
    };
    // Pulls every bridge out, as a cable is pulled (removal events raised).
    std::vector<Pulled> pullAll();
    // Plugs them in again (arrival events raised), each with a fresh chip on the line of its
    // meter, which kept running meanwhile; a serial text plugged again by other means stays.
    void plugBack(const std::vector<Pulled> &pulled);
    std::shared_ptr<Cp2110Emulator> chip(const std::string &serial) const;
    // The next open of that bridge fails with the given status.
    bool failNextOpen(const std::string &serial, HID_UART_STATUS status);
    // Gives the bridge another node path: a real file there stands for its device node, which
    // opens lock as they would a hidraw node.
    bool setNodePath(const std::string &serial, const std::string &path);

    std::vector<HidDeviceInfo> enumerate(uint16_t vid, uint16_t pid) override;
    HidOpenResult open(const HidDeviceInfo &info) override;
    std::unique_ptr<HidDeviceMonitor> openMonitor(HidDeviceEventSink sink) override;

private:
    struct Bridge
    {
        HidDeviceInfo info;
        std::shared_ptr<Cp2110Emulator> chip;
        HID_UART_STATUS failNextOpen = HID_UART_SUCCESS;
    };
    class Monitor;
    void raise(const HidDeviceInfo &info, bool arrived);
    void plugLocked(HidDeviceInfo info, std::shared_ptr<Cp2110Emulator> chip, bool notify);
    std::vector<Bridge>::iterator findBridge(const std::string &serial);
    void removeSink(int id);

    mutable std::mutex m_mutex;
    std::vector<Bridge> m_bridges; // in plug order
    // The monitors' sinks, called under m_mutex, so a monitor that has removed its own is done.
    std::vector<std::pair<int, HidDeviceEventSink>> m_sinks;
    int m_nextSink = 1;
};
