#pragma once

// The bridge vendor's HID-to-UART API as logic over a HidBackend: handle bookkeeping, the
// feature-report encodings, the receive buffer and its read rules, device strings and the
// hot-plug registry. The exported C functions of both libraries forward here one to one.

#include "hidbackend.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class HidUartCore
{
public:
    explicit HidUartCore(HidBackend &backend);
    ~HidUartCore();
    HidUartCore(const HidUartCore &) = delete;
    HidUartCore &operator=(const HidUartCore &) = delete;

    HID_UART_STATUS getNumDevices(uint32_t *numDevices, uint16_t vid, uint16_t pid);
    HID_UART_STATUS getString(uint32_t deviceNum, uint16_t vid, uint16_t pid, char *out,
                              uint32_t option);
    HID_UART_STATUS getOpenedString(HID_UART_DEVICE device, char *out, uint32_t option);
    static HID_UART_STATUS getHidGuid(void *guid);
    HID_UART_STATUS open(HID_UART_DEVICE *device, uint32_t deviceNum, uint16_t vid, uint16_t pid);
    HID_UART_STATUS close(HID_UART_DEVICE device);
    HID_UART_STATUS isOpened(HID_UART_DEVICE device, int32_t *opened);
    HID_UART_STATUS getPartNumber(HID_UART_DEVICE device, uint8_t *part, uint8_t *version);
    HID_UART_STATUS setUartConfig(HID_UART_DEVICE device, uint32_t baud, uint8_t dataBits,
                                  uint8_t parity, uint8_t stopBits, uint8_t flow);
    HID_UART_STATUS getUartConfig(HID_UART_DEVICE device, uint32_t *baud, uint8_t *dataBits,
                                  uint8_t *parity, uint8_t *stopBits, uint8_t *flow);
    HID_UART_STATUS setTimeouts(HID_UART_DEVICE device, uint32_t readMs, uint32_t writeMs);
    HID_UART_STATUS getTimeouts(HID_UART_DEVICE device, uint32_t *readMs, uint32_t *writeMs);
    HID_UART_STATUS read(HID_UART_DEVICE device, uint8_t *buffer, uint32_t want, uint32_t *got);
    HID_UART_STATUS write(HID_UART_DEVICE device, const uint8_t *buffer, uint32_t count,
                          uint32_t *written);
    HID_UART_STATUS flushBuffers(HID_UART_DEVICE device, int32_t transmit, int32_t receive);
    HID_UART_STATUS getUartStatus(HID_UART_DEVICE device, uint16_t *txFifo, uint16_t *rxFifo,
                                  uint8_t *errorStatus, uint8_t *lineBreak);
    HID_UART_STATUS readLatch(HID_UART_DEVICE device, uint16_t *latch);
    HID_UART_STATUS getPinConfig(HID_UART_DEVICE device, uint8_t *pins, int32_t *useSuspend,
                                 uint16_t *suspendValue, uint16_t *suspendMode, uint8_t *rs485Level,
                                 uint8_t *clkDiv);

    int32_t openDeviceMonitor(HidUart_Lumetra_DeviceEventsPending_t pending, void *context);
    HID_UART_STATUS readDeviceEvent(int32_t monitor, char *path, int32_t *arrived);
    HID_UART_STATUS closeDeviceMonitor(int32_t monitor);

private:
    struct OpenDevice;
    std::shared_ptr<OpenDevice> find(HID_UART_DEVICE device);
    HID_UART_STATUS getFeature(OpenDevice &d, uint8_t id, uint8_t *payload, size_t length);
    // getFeature on an open handle; a handle that is not open gives HID_UART_INVALID_HANDLE.
    HID_UART_STATUS readFeature(HID_UART_DEVICE device, uint8_t id, uint8_t *payload,
                                size_t length);
    HID_UART_STATUS setFeature(OpenDevice &d, const uint8_t *report, size_t length);

    HidBackend &m_backend;
    std::mutex m_backendMutex; // enumeration and open are not reentrant in every back end
    std::mutex m_devicesMutex;
    std::map<uintptr_t, std::shared_ptr<OpenDevice>> m_devices;
    uintptr_t m_nextHandle = 1;
    struct Monitor;
    std::mutex m_monitorsMutex;
    std::map<int32_t, std::shared_ptr<Monitor>> m_monitors;
    int32_t m_nextMonitor = 1;
};

// The one core of the library being built; each library defines it over its own back end.
HidUartCore &hidUartLibraryCore();
