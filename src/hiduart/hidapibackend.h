#pragma once

// Real bridges: the HID seam forwarded to hidapi's hidraw back end, hot-plug from udev.

#include "hidbackend.h"

class HidapiBackend : public HidBackend
{
public:
    HidapiBackend();
    std::vector<HidDeviceInfo> enumerate(uint16_t vid, uint16_t pid) override;
    HidOpenResult open(const HidDeviceInfo &info) override;
    std::unique_ptr<HidDeviceMonitor> openMonitor(HidDeviceEventSink sink) override;

private:
    bool m_initialised = false;
};
