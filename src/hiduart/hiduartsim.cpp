// The simulated library: the same core as the real one, over emulated CP2110 chips, each with
// a virtual meter on its receive line.
#include "hiduartcore.h"
#include "hiduartsim_api.h"
#include "simbackend.h"
#include "virtualmeter.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr uint16_t BridgeVid = 0x10C4;
constexpr uint16_t BridgePid = 0xEA80;

// The meter's real pace unless LUMETRA_SIM_FRAME_MS asks for another: tests (and the programs
// they start) run the same scene in a fraction of the time.
std::chrono::milliseconds meterFramePeriod()
{
    const std::chrono::milliseconds real(1000 / VirtualMeter::FramesPerSecond);
    const char *text = std::getenv("LUMETRA_SIM_FRAME_MS");
    if (!text || !*text)
        return real;
    char *end = nullptr;
    errno = 0;
    const unsigned long ms = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || ms == 0 || ms > 60'000)
        return real;
    return std::chrono::milliseconds(ms);
}

bool plugWithMeter(SimBackend &backend, const std::string &serial, uint16_t vid, uint16_t pid,
                   bool notify)
{
    const auto chip = backend.plug(serial, vid, pid, notify);
    if (!chip)
        return false;
    chip->setFrameSource(&VirtualMeter::frameAt, meterFramePeriod());
    return true;
}

SimBackend &simBackend()
{
    static SimBackend backend;
    static const bool plugged =
        plugWithMeter(backend, HIDUARTSIM_DEFAULT_SERIAL, BridgeVid, BridgePid, false);
    (void)plugged;
    return backend;
}

// Runs `action` on the named bridge's chip.
template<typename Action> HID_UART_STATUS withChip(const char *serial, Action action)
{
    if (!serial)
        return HID_UART_INVALID_PARAMETER;
    const auto chip = simBackend().chip(serial);
    if (!chip)
        return HID_UART_DEVICE_NOT_FOUND;
    return action(*chip);
}

} // namespace

HidUartCore &hidUartLibraryCore()
{
    static HidUartCore core(simBackend());
    return core;
}

extern "C" {

HID_UART_STATUS HidUartSim_Plug(const char *serial, uint16_t vid, uint16_t pid)
{
    if (!serial)
        return HID_UART_INVALID_PARAMETER;
    return plugWithMeter(simBackend(), serial, vid, pid, true) ? HID_UART_SUCCESS
                                                               : HID_UART_INVALID_PARAMETER;
}

HID_UART_STATUS HidUartSim_Unplug(const char *serial)
{
    if (!serial)
        return HID_UART_INVALID_PARAMETER;
    return simBackend().unplug(serial) ? HID_UART_SUCCESS : HID_UART_DEVICE_NOT_FOUND;
}

HID_UART_STATUS HidUartSim_FailNextOpen(const char *serial, HID_UART_STATUS status)
{
    if (!serial)
        return HID_UART_INVALID_PARAMETER;
    return simBackend().failNextOpen(serial, status) ? HID_UART_SUCCESS : HID_UART_DEVICE_NOT_FOUND;
}

HID_UART_STATUS HidUartSim_SetConfigMismatch(const char *serial, int32_t on)
{
    return withChip(serial, [on](Cp2110Emulator &chip) {
        chip.setConfigReadBackDiffers(on != 0);
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_SetReadFailure(const char *serial, int32_t on)
{
    return withChip(serial, [on](Cp2110Emulator &chip) {
        chip.setReadFailure(on != 0);
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_SetMeterSilent(const char *serial, int32_t silent)
{
    return withChip(serial, [silent](Cp2110Emulator &chip) {
        chip.setSourceSilent(silent != 0);
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_SetFramePeriod(const char *serial, uint32_t milliseconds)
{
    if (milliseconds == 0)
        return HID_UART_INVALID_PARAMETER;
    return withChip(serial, [milliseconds](Cp2110Emulator &chip) {
        chip.setFramePeriod(std::chrono::milliseconds(milliseconds));
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_FeedBytes(const char *serial, const uint8_t *bytes, uint32_t count)
{
    if (!bytes && count > 0)
        return HID_UART_INVALID_PARAMETER;
    return withChip(serial, [bytes, count](Cp2110Emulator &chip) {
        chip.transmit(Cp2110Emulator::Bytes(bytes, bytes + count));
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_ReplayFile(const char *serial, const char *path)
{
    if (!path)
        return HID_UART_INVALID_PARAMETER;
    return withChip(serial, [path](Cp2110Emulator &chip) {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return HID_UART_READ_ERROR;
        Cp2110Emulator::Bytes bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
        if (file.bad())
            return HID_UART_READ_ERROR;
        chip.transmit(bytes);
        return HID_UART_SUCCESS;
    });
}

HID_UART_STATUS HidUartSim_Reset(void)
{
    SimBackend &backend = simBackend();
    backend.unplugAll(false);
    plugWithMeter(backend, HIDUARTSIM_DEFAULT_SERIAL, BridgeVid, BridgePid, false);
    return HID_UART_SUCCESS;
}

} // extern "C"
