#pragma once

// The C interface of our HID-to-UART bridge libraries: libSLABHIDtoUART.so / SLABHIDtoUART.dll
// (real bridges over hidapi) and libSLABHIDtoUART-sim.so / SLABHIDtoUART-sim.dll (virtual
// bridges with a virtual meter). Both export exactly
// the same entry points with the same meaning, so a caller picks one by file name and resolves
// the functions by name (QLibrary::resolve); the pointer typedefs below are for that.
//
// Hot-plug seam (both libraries), the same on every platform:
//   int32_t monitor = HidUart_Lumetra_OpenDeviceMonitor(pending, context);
//       Starts following arrivals and removals; -1 when hot-plug is not available (the caller
//       then simply gets no events). `pending(context)` is called, from a thread of the
//       library's or from inside the call that caused the event, every time an event is queued.
//       It must return at once and call nothing of the library: it only tells the caller's
//       own thread to come and read (a queued call on the GUI thread, say).
//   There, call HidUart_Lumetra_ReadDeviceEvent(monitor, path, &arrived) until it returns
//       HID_UART_READ_TIMED_OUT (nothing more pending); it never waits. HID_UART_SUCCESS
//       delivers one event: `path` is the zero-terminated device path, byte for byte the text
//       that HidUart_GetString and HidUart_GetOpenedString give for option
//       HID_UART_GET_PATH_STR, and `arrived` is 1 for an arrival, 0 for a removal. Every HID
//       device is reported, not only bridges.
//   HidUart_Lumetra_CloseDeviceMonitor(monitor) stops it: once it returns, `pending` is not
//       running and is never called again, so `context` may go.
//   A library without these symbols (an older build) has no hot-plug: resolve them optionally.
//   On Windows the real library has none either: the program follows the HID interface class
//   itself (RegisterDeviceNotification); the simulated library has it on every platform.
//
// Threads: every entry point may be called from any thread. HidUart_Read on one handle while
// another thread calls the others (even HidUart_Close on that handle) is safe; handles are
// opaque numbers that are never reused, so a stale handle yields HID_UART_INVALID_HANDLE.

#include <stdint.h>

#if defined(_WIN32)
#define HID_UART_API __declspec(dllexport)
#else
#define HID_UART_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t HID_UART_STATUS;
typedef void *HID_UART_DEVICE;

enum {
    HID_UART_SUCCESS = 0x00,
    HID_UART_DEVICE_NOT_FOUND = 0x01,
    HID_UART_INVALID_HANDLE = 0x02,
    HID_UART_INVALID_DEVICE_OBJECT = 0x03,
    HID_UART_INVALID_PARAMETER = 0x04,
    HID_UART_INVALID_REQUEST_LENGTH = 0x05,
    HID_UART_READ_ERROR = 0x10,
    HID_UART_WRITE_ERROR = 0x11,
    HID_UART_READ_TIMED_OUT = 0x12,
    HID_UART_WRITE_TIMED_OUT = 0x13,
    HID_UART_DEVICE_IO_FAILED = 0x14,
    HID_UART_DEVICE_ACCESS_ERROR = 0x15,
    HID_UART_DEVICE_NOT_SUPPORTED = 0x16,
    // Ours, not the vendor's: another program holds the bridge (HidUart_Open only).
    HID_UART_DEVICE_IN_USE = 0x17,
    HID_UART_UNKNOWN_ERROR = 0xFF
};

// Options of HidUart_GetString / HidUart_GetOpenedString.
enum {
    HID_UART_GET_VID_STR = 0x01,
    HID_UART_GET_PID_STR = 0x02,
    HID_UART_GET_PATH_STR = 0x03,
    HID_UART_GET_SERIAL_STR = 0x04,
    HID_UART_GET_MANUFACTURER_STR = 0x05,
    HID_UART_GET_PRODUCT_STR = 0x06
};

enum {
    HID_UART_DEVICE_STRLEN = 260,   // every string buffer, terminating zero included
    HID_UART_MAX_READ_SIZE = 32768, // per HidUart_Read call
    HID_UART_MAX_WRITE_SIZE = 4096, // per HidUart_Write call
    HID_UART_PART_CP2110 = 0x0A
};

// UART configuration codes (HidUart_SetUartConfig / HidUart_GetUartConfig).
enum {
    HID_UART_FIVE_DATA_BITS = 0,
    HID_UART_SIX_DATA_BITS = 1,
    HID_UART_SEVEN_DATA_BITS = 2,
    HID_UART_EIGHT_DATA_BITS = 3,
    HID_UART_NO_PARITY = 0,
    HID_UART_ODD_PARITY = 1,
    HID_UART_EVEN_PARITY = 2,
    HID_UART_MARK_PARITY = 3,
    HID_UART_SPACE_PARITY = 4,
    HID_UART_SHORT_STOP_BIT = 0,
    HID_UART_LONG_STOP_BIT = 1,
    HID_UART_NO_FLOW_CONTROL = 0,
    HID_UART_RTS_CTS_FLOW_CONTROL = 1
};

// Baud rates the chip accepts; others give HID_UART_INVALID_PARAMETER.
enum { HID_UART_MIN_BAUD_RATE = 300, HID_UART_MAX_BAUD_RATE = 1000000 };

HID_UART_API HID_UART_STATUS HidUart_GetNumDevices(uint32_t *numDevices, uint16_t vid,
                                                   uint16_t pid);
HID_UART_API HID_UART_STATUS HidUart_GetString(uint32_t deviceNum, uint16_t vid, uint16_t pid,
                                               char *deviceString, uint32_t options);
HID_UART_API HID_UART_STATUS HidUart_GetOpenedString(HID_UART_DEVICE device, char *deviceString,
                                                     uint32_t options);
HID_UART_API HID_UART_STATUS HidUart_GetHidGuid(void *guid);
HID_UART_API HID_UART_STATUS HidUart_Open(HID_UART_DEVICE *device, uint32_t deviceNum, uint16_t vid,
                                          uint16_t pid);
HID_UART_API HID_UART_STATUS HidUart_Close(HID_UART_DEVICE device);
HID_UART_API HID_UART_STATUS HidUart_IsOpened(HID_UART_DEVICE device, int32_t *opened);
HID_UART_API HID_UART_STATUS HidUart_GetPartNumber(HID_UART_DEVICE device, uint8_t *partNumber,
                                                   uint8_t *version);
HID_UART_API HID_UART_STATUS HidUart_SetUartConfig(HID_UART_DEVICE device, uint32_t baudRate,
                                                   uint8_t dataBits, uint8_t parity,
                                                   uint8_t stopBits, uint8_t flowControl);
HID_UART_API HID_UART_STATUS HidUart_GetUartConfig(HID_UART_DEVICE device, uint32_t *baudRate,
                                                   uint8_t *dataBits, uint8_t *parity,
                                                   uint8_t *stopBits, uint8_t *flowControl);
HID_UART_API HID_UART_STATUS HidUart_SetTimeouts(HID_UART_DEVICE device, uint32_t readTimeout,
                                                 uint32_t writeTimeout);
HID_UART_API HID_UART_STATUS HidUart_GetTimeouts(HID_UART_DEVICE device, uint32_t *readTimeout,
                                                 uint32_t *writeTimeout);
HID_UART_API HID_UART_STATUS HidUart_Read(HID_UART_DEVICE device, uint8_t *buffer,
                                          uint32_t numBytesToRead, uint32_t *numBytesRead);
HID_UART_API HID_UART_STATUS HidUart_Write(HID_UART_DEVICE device, uint8_t *buffer,
                                           uint32_t numBytesToWrite, uint32_t *numBytesWritten);
HID_UART_API HID_UART_STATUS HidUart_FlushBuffers(HID_UART_DEVICE device, int32_t flushTransmit,
                                                  int32_t flushReceive);
HID_UART_API HID_UART_STATUS HidUart_GetUartStatus(HID_UART_DEVICE device, uint16_t *transmitFifo,
                                                   uint16_t *receiveFifo, uint8_t *errorStatus,
                                                   uint8_t *lineBreakStatus);
HID_UART_API HID_UART_STATUS HidUart_ReadLatch(HID_UART_DEVICE device, uint16_t *latchValue);
HID_UART_API HID_UART_STATUS HidUart_GetPinConfig(HID_UART_DEVICE device, uint8_t *pinConfig,
                                                  int32_t *useSuspendValues, uint16_t *suspendValue,
                                                  uint16_t *suspendMode, uint8_t *rs485Level,
                                                  uint8_t *clkDiv);

typedef void (*HidUart_Lumetra_DeviceEventsPending_t)(void *context);
HID_UART_API int32_t
HidUart_Lumetra_OpenDeviceMonitor(HidUart_Lumetra_DeviceEventsPending_t pending, void *context);
HID_UART_API HID_UART_STATUS HidUart_Lumetra_ReadDeviceEvent(int32_t monitor, char *path,
                                                             int32_t *arrived);
HID_UART_API HID_UART_STATUS HidUart_Lumetra_CloseDeviceMonitor(int32_t monitor);

// Pointer types for run-time resolution.
typedef HID_UART_STATUS (*HidUart_GetNumDevices_t)(uint32_t *, uint16_t, uint16_t);
typedef HID_UART_STATUS (*HidUart_GetString_t)(uint32_t, uint16_t, uint16_t, char *, uint32_t);
typedef HID_UART_STATUS (*HidUart_GetOpenedString_t)(HID_UART_DEVICE, char *, uint32_t);
typedef HID_UART_STATUS (*HidUart_GetHidGuid_t)(void *);
typedef HID_UART_STATUS (*HidUart_Open_t)(HID_UART_DEVICE *, uint32_t, uint16_t, uint16_t);
typedef HID_UART_STATUS (*HidUart_Close_t)(HID_UART_DEVICE);
typedef HID_UART_STATUS (*HidUart_IsOpened_t)(HID_UART_DEVICE, int32_t *);
typedef HID_UART_STATUS (*HidUart_GetPartNumber_t)(HID_UART_DEVICE, uint8_t *, uint8_t *);
typedef HID_UART_STATUS (*HidUart_SetUartConfig_t)(HID_UART_DEVICE, uint32_t, uint8_t, uint8_t,
                                                   uint8_t, uint8_t);
typedef HID_UART_STATUS (*HidUart_GetUartConfig_t)(HID_UART_DEVICE, uint32_t *, uint8_t *,
                                                   uint8_t *, uint8_t *, uint8_t *);
typedef HID_UART_STATUS (*HidUart_SetTimeouts_t)(HID_UART_DEVICE, uint32_t, uint32_t);
typedef HID_UART_STATUS (*HidUart_GetTimeouts_t)(HID_UART_DEVICE, uint32_t *, uint32_t *);
typedef HID_UART_STATUS (*HidUart_Read_t)(HID_UART_DEVICE, uint8_t *, uint32_t, uint32_t *);
typedef HID_UART_STATUS (*HidUart_Write_t)(HID_UART_DEVICE, uint8_t *, uint32_t, uint32_t *);
typedef HID_UART_STATUS (*HidUart_FlushBuffers_t)(HID_UART_DEVICE, int32_t, int32_t);
typedef HID_UART_STATUS (*HidUart_GetUartStatus_t)(HID_UART_DEVICE, uint16_t *, uint16_t *,
                                                   uint8_t *, uint8_t *);
typedef HID_UART_STATUS (*HidUart_ReadLatch_t)(HID_UART_DEVICE, uint16_t *);
typedef HID_UART_STATUS (*HidUart_GetPinConfig_t)(HID_UART_DEVICE, uint8_t *, int32_t *, uint16_t *,
                                                  uint16_t *, uint8_t *, uint8_t *);
typedef int32_t (*HidUart_Lumetra_OpenDeviceMonitor_t)(HidUart_Lumetra_DeviceEventsPending_t,
                                                       void *);
typedef HID_UART_STATUS (*HidUart_Lumetra_ReadDeviceEvent_t)(int32_t, char *, int32_t *);
typedef HID_UART_STATUS (*HidUart_Lumetra_CloseDeviceMonitor_t)(int32_t);

#ifdef __cplusplus
}
#endif
