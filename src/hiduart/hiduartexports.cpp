// The exported C entry points, shared by the real and the simulated library: each forwards to
// the library's own core, so both libraries behave alike by construction.
#include "hiduart_api.h"
#include "hiduartcore.h"

extern "C" {

HID_UART_STATUS HidUart_GetNumDevices(uint32_t *numDevices, uint16_t vid, uint16_t pid)
{
    return hidUartLibraryCore().getNumDevices(numDevices, vid, pid);
}

HID_UART_STATUS HidUart_GetString(uint32_t deviceNum, uint16_t vid, uint16_t pid,
                                  char *deviceString, uint32_t options)
{
    return hidUartLibraryCore().getString(deviceNum, vid, pid, deviceString, options);
}

HID_UART_STATUS HidUart_GetOpenedString(HID_UART_DEVICE device, char *deviceString,
                                        uint32_t options)
{
    return hidUartLibraryCore().getOpenedString(device, deviceString, options);
}

HID_UART_STATUS HidUart_GetHidGuid(void *guid)
{
    return HidUartCore::getHidGuid(guid);
}

HID_UART_STATUS HidUart_Open(HID_UART_DEVICE *device, uint32_t deviceNum, uint16_t vid,
                             uint16_t pid)
{
    return hidUartLibraryCore().open(device, deviceNum, vid, pid);
}

HID_UART_STATUS HidUart_Close(HID_UART_DEVICE device)
{
    return hidUartLibraryCore().close(device);
}

HID_UART_STATUS HidUart_IsOpened(HID_UART_DEVICE device, int32_t *opened)
{
    return hidUartLibraryCore().isOpened(device, opened);
}

HID_UART_STATUS HidUart_GetPartNumber(HID_UART_DEVICE device, uint8_t *partNumber, uint8_t *version)
{
    return hidUartLibraryCore().getPartNumber(device, partNumber, version);
}

HID_UART_STATUS HidUart_SetUartConfig(HID_UART_DEVICE device, uint32_t baudRate, uint8_t dataBits,
                                      uint8_t parity, uint8_t stopBits, uint8_t flowControl)
{
    return hidUartLibraryCore().setUartConfig(device, baudRate, dataBits, parity, stopBits,
                                              flowControl);
}

HID_UART_STATUS HidUart_GetUartConfig(HID_UART_DEVICE device, uint32_t *baudRate, uint8_t *dataBits,
                                      uint8_t *parity, uint8_t *stopBits, uint8_t *flowControl)
{
    return hidUartLibraryCore().getUartConfig(device, baudRate, dataBits, parity, stopBits,
                                              flowControl);
}

HID_UART_STATUS HidUart_SetTimeouts(HID_UART_DEVICE device, uint32_t readTimeout,
                                    uint32_t writeTimeout)
{
    return hidUartLibraryCore().setTimeouts(device, readTimeout, writeTimeout);
}

HID_UART_STATUS HidUart_GetTimeouts(HID_UART_DEVICE device, uint32_t *readTimeout,
                                    uint32_t *writeTimeout)
{
    return hidUartLibraryCore().getTimeouts(device, readTimeout, writeTimeout);
}

HID_UART_STATUS HidUart_Read(HID_UART_DEVICE device, uint8_t *buffer, uint32_t numBytesToRead,
                             uint32_t *numBytesRead)
{
    return hidUartLibraryCore().read(device, buffer, numBytesToRead, numBytesRead);
}

HID_UART_STATUS HidUart_Write(HID_UART_DEVICE device, uint8_t *buffer, uint32_t numBytesToWrite,
                              uint32_t *numBytesWritten)
{
    return hidUartLibraryCore().write(device, buffer, numBytesToWrite, numBytesWritten);
}

HID_UART_STATUS HidUart_FlushBuffers(HID_UART_DEVICE device, int32_t flushTransmit,
                                     int32_t flushReceive)
{
    return hidUartLibraryCore().flushBuffers(device, flushTransmit, flushReceive);
}

HID_UART_STATUS HidUart_GetUartStatus(HID_UART_DEVICE device, uint16_t *transmitFifo,
                                      uint16_t *receiveFifo, uint8_t *errorStatus,
                                      uint8_t *lineBreakStatus)
{
    return hidUartLibraryCore().getUartStatus(device, transmitFifo, receiveFifo, errorStatus,
                                              lineBreakStatus);
}

HID_UART_STATUS HidUart_ReadLatch(HID_UART_DEVICE device, uint16_t *latchValue)
{
    return hidUartLibraryCore().readLatch(device, latchValue);
}

HID_UART_STATUS HidUart_GetPinConfig(HID_UART_DEVICE device, uint8_t *pinConfig,
                                     int32_t *useSuspendValues, uint16_t *suspendValue,
                                     uint16_t *suspendMode, uint8_t *rs485Level, uint8_t *clkDiv)
{
    return hidUartLibraryCore().getPinConfig(device, pinConfig, useSuspendValues, suspendValue,
                                             suspendMode, rs485Level, clkDiv);
}

int32_t HidUart_Lumetra_OpenDeviceMonitor(HidUart_Lumetra_DeviceEventsPending_t pending,
                                          void *context)
{
    return hidUartLibraryCore().openDeviceMonitor(pending, context);
}

HID_UART_STATUS HidUart_Lumetra_ReadDeviceEvent(int32_t monitor, char *path, int32_t *arrived)
{
    return hidUartLibraryCore().readDeviceEvent(monitor, path, arrived);
}

HID_UART_STATUS HidUart_Lumetra_CloseDeviceMonitor(int32_t monitor)
{
    return hidUartLibraryCore().closeDeviceMonitor(monitor);
}

} // extern "C"
