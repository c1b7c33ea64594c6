// The simulated library: the same core as the real one, over emulated CP2110 chips, each with
// a virtual meter on its receive line.
#include "bridgeids.h"
#include "hiduartcore.h"
#include "hiduartsim_api.h"
#include "simbackend.h"
#include "virtualmeter.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Set when Windows unloads the library because the process ends: its other threads are gone by
// then, and joining one from a destructor under the loader lock would never return.
bool ProcessEnding = false;

constexpr uint16_t BridgeVid = LUMETRA_BRIDGE_VID;
constexpr uint16_t BridgePid = LUMETRA_BRIDGE_PID;

// A number of milliseconds from the environment's text, within 1 to a minute; 0 when not.
uint32_t milliseconds(const char *text, const char **end)
{
    char *stop = nullptr;
    errno = 0;
    const unsigned long ms = std::strtoul(text, &stop, 10);
    *end = stop;
    if (errno != 0 || stop == text || ms == 0 || ms > 60'000)
        return 0;
    return static_cast<uint32_t>(ms);
}

// The meter's real pace unless LUMETRA_SIM_FRAME_MS asks for another: tests (and the programs
// they start) run the same scene in a fraction of the time.
std::chrono::milliseconds meterFramePeriod()
{
    const std::chrono::milliseconds real(1000 / VirtualMeter::FramesPerSecond);
    const char *text = std::getenv("LUMETRA_SIM_FRAME_MS");
    if (!text || !*text)
        return real;
    const char *end = nullptr;
    const uint32_t ms = milliseconds(text, &end);
    return ms != 0 && *end == '\0' ? std::chrono::milliseconds(ms) : real;
}

// LUMETRA_SIM_SCENE=count: in place of the bench scene, a resistor that reads one count more
// with every frame the meter sends (the clock runs on while a cable is out), so whoever reads
// the rows can tell a frame that was lost or taken twice.
bool countingScene()
{
    const char *text = std::getenv("LUMETRA_SIM_SCENE");
    return text && std::strcmp(text, "count") == 0;
}

TFrameFields countingFieldsAt(uint64_t k)
{
    TFrameFields f;
    f.MainMode = 3; // R
    f.MainValue = static_cast<int>(k % 20000);
    f.MainUnit = 1;  // Ohm
    f.SubStatus = 1; // blank
    f.Auto = true;
    f.Battery = 3;
    f.Frequency = 2;
    return f;
}

// Pulls every bridge out every `every` ms for `down` ms, on a thread of its own, as a loose
// cable would: the removal and arrival events come from that thread, like udev's.
class UnplugCycle
{
public:
    explicit UnplugCycle(SimBackend &backend)
        : m_backend(backend)
    {}
    ~UnplugCycle()
    {
        if (ProcessEnding && m_thread.joinable())
            m_thread.detach();
        set(0, 0);
    }
    UnplugCycle(const UnplugCycle &) = delete;
    UnplugCycle &operator=(const UnplugCycle &) = delete;

    // 0, 0 stops it (bridges that are out are plugged back); else down must be below every.
    bool set(uint32_t every, uint32_t down)
    {
        if (every != 0 && (down == 0 || down >= every))
            return false;
        if (m_thread.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                m_stop = true;
            }
            m_wake.notify_all();
            m_thread.join();
        }
        m_stop = false;
        if (every != 0)
            m_thread = std::thread([this, every, down] { run(every, down); });
        return true;
    }

private:
    void run(uint32_t every, uint32_t down)
    {
        using Clock = std::chrono::steady_clock;
        const std::chrono::milliseconds period(every), out(down);
        std::unique_lock lock(m_mutex);
        const auto stopped = [this] { return m_stop; };
        for (auto next = Clock::now() + period;; next += period) {
            if (m_wake.wait_until(lock, next, stopped))
                return;
            const auto pulled = m_backend.pullAll();
            const bool ending = m_wake.wait_until(lock, next + out, stopped);
            m_backend.plugBack(pulled);
            if (ending)
                return;
        }
    }

    SimBackend &m_backend;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

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
    const auto fieldsAt = countingScene() ? &countingFieldsAt : &VirtualMeter::fieldsAt;
    Cp2110Emulator::FrameSource frames = &VirtualMeter::frameAt;
    if (meter > 1 || fieldsAt != &VirtualMeter::fieldsAt)
        frames = [offset = (meter - 1) * 1000, fieldsAt](uint64_t k) {
            TFrameFields f = fieldsAt(k);
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

// LUMETRA_SIM_UNPLUG=EVERY:FOR, in milliseconds; false (and 0, 0) when not set or not valid.
bool startUnplugCycle(uint32_t &every, uint32_t &down)
{
    every = down = 0;
    const char *text = std::getenv("LUMETRA_SIM_UNPLUG");
    if (!text || !*text)
        return false;
    const char *end = nullptr;
    const uint32_t e = milliseconds(text, &end);
    if (*end != ':')
        return false;
    const uint32_t d = milliseconds(end + 1, &end);
    if (*end != '\0' || e == 0 || d == 0 || d >= e)
        return false;
    every = e;
    down = d;
    return true;
}

SimBackend &simBackend()
{
    static SimBackend backend;
    static const bool plugged = (plugBridges(backend, startBridges(), false), true);
    (void)plugged;
    return backend;
}

struct SimLibrary
{
    HidUartCore core{simBackend()};
    // Made after the core and the bridges, so it has stopped before either goes.
    UnplugCycle cycle{simBackend()};
};

SimLibrary &simLibrary()
{
    static SimLibrary library;
    static const bool started = [] {
        uint32_t every = 0, down = 0;
        if (startUnplugCycle(every, down))
            library.cycle.set(every, down);
        return true;
    }();
    (void)started;
    return library;
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
    return simLibrary().core;
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

HID_UART_STATUS HidUartSim_SetUnplugCycle(uint32_t everyMs, uint32_t forMs)
{
    return simLibrary().cycle.set(everyMs, forMs) ? HID_UART_SUCCESS : HID_UART_INVALID_PARAMETER;
}

HID_UART_STATUS HidUartSim_Reset(void)
{
    simLibrary().cycle.set(0, 0);
    SimBackend &backend = simBackend();
    backend.unplugAll(false);
    plugWithMeter(backend, HIDUARTSIM_DEFAULT_SERIAL, BridgeVid, BridgePid, false);
    return HID_UART_SUCCESS;
}

} // extern "C"

#ifdef _WIN32
// The C runtime calls this before it runs the library's static destructors.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
        ProcessEnding = true;
    return TRUE;
}
#endif
