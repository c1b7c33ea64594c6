// The simulated library: the same core as the real one, over emulated CP2110 chips, each with
// a virtual meter on its receive line.
#include "bridgeids.h"
#include "hiduartcore.h"
#include "hiduartsim_api.h"
#include "simbackend.h"
#include "virtualmeter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr uint16_t BridgeVid = LUMETRA_BRIDGE_VID;
constexpr uint16_t BridgePid = LUMETRA_BRIDGE_PID;

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

// The serial text of the n-th simulated bridge (from 1): LMT-SIM-0001, LMT-SIM-0002 ...
std::string simSerial(int n)
{
    char text[32];
    std::snprintf(text, sizeof text, "LMT-SIM-%04d", n);
    return text;
}

// Meter n (from 1) reads n - 1 thousand counts above the first, so that every meter's
// readings are its own and a reading that lands at the wrong meter shows.
bool plugWithMeter(SimBackend &backend, const std::string &serial, uint16_t vid, uint16_t pid,
                   bool notify, int meter = 1)
{
    const auto chip = backend.plug(serial, vid, pid, notify);
    if (!chip)
        return false;
    Cp2110Emulator::FrameSource frames = &VirtualMeter::frameAt;
    if (meter > 1)
        frames = [offset = (meter - 1) * 1000](uint64_t k) {
            TFrameFields f = VirtualMeter::fieldsAt(k);
            f.MainValue = (f.MainValue + offset) % 20000;
            const QByteArray frame = EncodeFrame(f);
            return Cp2110Emulator::Bytes(frame.begin(), frame.end());
        };
    chip->setFrameSource(std::move(frames), meterFramePeriod());
    return true;
}

// Bridges 1 to count plugged, each with its own meter; those above count unplugged.
void plugBridges(SimBackend &backend, int count, bool notify)
{
    for (int n = 1; n <= count; ++n)
        if (!backend.chip(simSerial(n)))
            plugWithMeter(backend, simSerial(n), BridgeVid, BridgePid, notify, n);
    for (int n = count + 1; backend.chip(simSerial(n)); ++n)
        backend.unplug(simSerial(n));
}

// How many bridges the library starts with: LUMETRA_SIM_BRIDGES, else one.
int startBridges()
{
    const char *text = std::getenv("LUMETRA_SIM_BRIDGES");
    const int n = text ? std::atoi(text) : 1;
    return n >= 1 && n <= HIDUARTSIM_MAX_BRIDGES ? n : 1;
}

SimBackend &simBackend()
{
    static SimBackend backend;
    static const bool plugged = (plugBridges(backend, startBridges(), false), true);
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

HID_UART_STATUS HidUartSim_SetBridgeCount(int32_t count)
{
    if (count < 0 || count > HIDUARTSIM_MAX_BRIDGES)
        return HID_UART_INVALID_PARAMETER;
    plugBridges(simBackend(), count, true);
    return HID_UART_SUCCESS;
}

HID_UART_STATUS HidUartSim_Reset(void)
{
    SimBackend &backend = simBackend();
    backend.unplugAll(false);
    plugWithMeter(backend, HIDUARTSIM_DEFAULT_SERIAL, BridgeVid, BridgePid, false);
    return HID_UART_SUCCESS;
}

} // extern "C"
