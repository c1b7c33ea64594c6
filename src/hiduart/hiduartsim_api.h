#pragma once

// Control entry points of libSLABHIDtoUART-sim.so, for tests and demonstrations only; the
// program itself uses nothing but hiduart_api.h. The library starts with one virtual bridge
// (serial text HIDUARTSIM_DEFAULT_SERIAL, 10C4:EA80) whose meter plays a bench scene on a loop,
// two frames a second, every byte paced at 9600 baud (8N1: 1.04 ms a byte, 17.7 ms a frame).
// LUMETRA_SIM_FRAME_MS=<milliseconds> in the environment sets another frame period for every
// bridge the library plugs, so a test and the programs it starts can run the scene faster.
// LUMETRA_SIM_SCENE=count plays, in place of the scene, a resistor reading one ohm more with
// each frame the meter sends (0, 1, 2 ...), so a frame lost or taken twice shows in the rows.
// LUMETRA_SIM_UNPLUG=EVERY:FOR (milliseconds, FOR below EVERY, each at most 60000) pulls every
// bridge out EVERY ms after the library starts and then every EVERY ms, for FOR ms each time,
// as HidUartSim_SetUnplugCycle does.
//
// Every function names a bridge by its serial text and returns HID_UART_DEVICE_NOT_FOUND when
// none is plugged under that name, HID_UART_INVALID_PARAMETER for a null pointer.

#include "hiduart_api.h"

#define HIDUARTSIM_DEFAULT_SERIAL "LMT-SIM-0001"
// The library starts with LUMETRA_SIM_BRIDGES bridges (1 to this many; default 1), serial texts
// LMT-SIM-0001, LMT-SIM-0002 ..., each with its own meter: meter n reads n - 1 thousand counts
// above the first.
#define HIDUARTSIM_MAX_BRIDGES 99

#ifdef __cplusplus
extern "C" {
#endif

// Plugs a bridge with its own virtual meter and raises an arrival event; a serial text that is
// already plugged gives HID_UART_INVALID_PARAMETER.
HID_UART_API HID_UART_STATUS HidUartSim_Plug(const char *serial, uint16_t vid, uint16_t pid);
// Raises a removal event; open handles of the bridge fail from then on (reads:
// HID_UART_READ_ERROR).
HID_UART_API HID_UART_STATUS HidUartSim_Unplug(const char *serial);
// The next HidUart_Open of the bridge fails with `status` (0: HID_UART_DEVICE_ACCESS_ERROR, as
// for a node the user may not open).
HID_UART_API HID_UART_STATUS HidUartSim_FailNextOpen(const char *serial, HID_UART_STATUS status);
// While on, the UART configuration reads back with half the baud rate that was set.
HID_UART_API HID_UART_STATUS HidUartSim_SetConfigMismatch(const char *serial, int32_t on);
// While on, every read of the bridge fails as if the device were gone.
HID_UART_API HID_UART_STATUS HidUartSim_SetReadFailure(const char *serial, int32_t on);
// While on, the meter sends no frames (fed and replayed bytes still go out).
HID_UART_API HID_UART_STATUS HidUartSim_SetMeterSilent(const char *serial, int32_t silent);
// One frame every `milliseconds` from now on, going on with the scene where it is; 0 gives
// HID_UART_INVALID_PARAMETER. Below the 17.7 ms a frame takes on the line, the meter sends a
// frame only when the line has gone quiet, so fewer frames go out than asked for.
HID_UART_API HID_UART_STATUS HidUartSim_SetFramePeriod(const char *serial, uint32_t milliseconds);
// Sends raw bytes down the line behind whatever is already on it, at the line rate. The meter
// starts no frame of its own while the line is busy.
HID_UART_API HID_UART_STATUS HidUartSim_FeedBytes(const char *serial, const uint8_t *bytes,
                                                  uint32_t count);
// Sends a raw capture (the received bytes, as stored by a logger) down the line, as FeedBytes.
// A file that cannot be read gives HID_UART_READ_ERROR.
HID_UART_API HID_UART_STATUS HidUartSim_ReplayFile(const char *serial, const char *path);
// Plugs the bridges LMT-SIM-0001 to LMT-SIM-<count> that are missing, each with its own meter,
// and unplugs the numbered ones above count; arrival and removal events are raised.
HID_UART_API HID_UART_STATUS HidUartSim_SetBridgeCount(int32_t count);
// Pulls every bridge out every `everyMs` (from now on) for `forMs`, as a loose cable would:
// removal events, then arrival events of the same serial texts, both raised on a thread of the
// library's own; open handles fail from the removal on (reads: HID_UART_READ_ERROR) and stay
// failed, the bridge that comes back being opened anew. Each meter's clock runs on meanwhile:
// the frames it sends while its cable is out are lost. 0, 0 stops it (bridges that are out
// are plugged back); forMs must be below everyMs, else HID_UART_INVALID_PARAMETER.
HID_UART_API HID_UART_STATUS HidUartSim_SetUnplugCycle(uint32_t everyMs, uint32_t forMs);
// Back to the start state: only the default bridge, no faults, no unplug cycle, no events
// raised. Handles still open on earlier bridges fail from then on.
HID_UART_API HID_UART_STATUS HidUartSim_Reset(void);

typedef HID_UART_STATUS (*HidUartSim_Plug_t)(const char *, uint16_t, uint16_t);
typedef HID_UART_STATUS (*HidUartSim_Unplug_t)(const char *);
typedef HID_UART_STATUS (*HidUartSim_FailNextOpen_t)(const char *, HID_UART_STATUS);
typedef HID_UART_STATUS (*HidUartSim_SetConfigMismatch_t)(const char *, int32_t);
typedef HID_UART_STATUS (*HidUartSim_SetReadFailure_t)(const char *, int32_t);
typedef HID_UART_STATUS (*HidUartSim_SetMeterSilent_t)(const char *, int32_t);
typedef HID_UART_STATUS (*HidUartSim_SetFramePeriod_t)(const char *, uint32_t);
typedef HID_UART_STATUS (*HidUartSim_FeedBytes_t)(const char *, const uint8_t *, uint32_t);
typedef HID_UART_STATUS (*HidUartSim_ReplayFile_t)(const char *, const char *);
typedef HID_UART_STATUS (*HidUartSim_SetUnplugCycle_t)(uint32_t, uint32_t);
typedef HID_UART_STATUS (*HidUartSim_Reset_t)(void);
typedef HID_UART_STATUS (*HidUartSim_SetBridgeCount_t)(int32_t);

#ifdef __cplusplus
}
#endif
