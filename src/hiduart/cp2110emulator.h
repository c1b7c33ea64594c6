#pragma once

// A CP2110 at the level of its HID reports: feature reports 0x41-0x46, 0x50, 0x66, input
// reports carrying received UART bytes, output reports carrying bytes to send. Its receive line
// is paced like a real wire: bytes the far end transmits arrive one character time apart, and
// only while the UART is enabled. Time is evaluated lazily on every access, so the emulator
// needs no thread of its own. It serves the simulated library and the tests of the bridge logic.

#include "hidbackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class Cp2110Emulator
{
public:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<uint8_t>;
    // Frame k of a device that transmits one frame per period.
    using FrameSource = std::function<Bytes(uint64_t k)>;

    // One character (start bit, 8 data bits, stop bit) at the far end's 9600 baud.
    static constexpr std::chrono::nanoseconds CharacterTime{10'000'000'000LL / 9600};
    static constexpr size_t ReceiveCapacity = 4096;

    Cp2110Emulator();

    // The HID side, with hidapi's conventions (report id in byte 0, -1 on failure).
    int sendFeatureReport(const uint8_t *data, size_t length);
    int getFeatureReport(uint8_t *data, size_t length);
    int readTimeout(uint8_t *data, size_t length, int timeoutMs);
    int write(const uint8_t *data, size_t length);

    // The line side: what the attached device sends.
    void setFrameSource(FrameSource source, Clock::duration period);
    // The same source at another pace, going on from the frame it would send next.
    void setFramePeriod(Clock::duration period);
    void setSourceSilent(bool silent);
    // Queued behind whatever is on the line, then paced at the line rate.
    void transmit(const Bytes &bytes);
    // Lands in the receive FIFO at once (if the UART is enabled), as if it had just arrived.
    void receiveNow(const Bytes &bytes);

    // Faults.
    void unplug(); // from now on every HID operation fails
    // The chip of the same cable plugged in again: a fresh chip (UART disabled, nothing
    // received, no faults) on the line of a far end that kept running meanwhile. Its clock and
    // its frame count go on from where they are now, so what it sent while the cable was out
    // is gone; bytes that were on the wire are lost with the old chip.
    std::shared_ptr<Cp2110Emulator> replugged();
    void setReadFailure(bool fail);
    // The configuration reads back with half the baud rate that was set.
    void setConfigReadBackDiffers(bool differs);

    // What the host did, for tests.
    bool uartEnabled() const;
    std::vector<Bytes> featureReportsSet() const;
    Bytes written() const;

private:
    struct Segment
    {
        Clock::time_point start;
        Bytes bytes;
        size_t next = 0;
    };
    void advance(Clock::time_point now);
    void enqueue(Bytes bytes, Clock::time_point at);
    void deliver(uint8_t byte);
    Clock::time_point nextArrival() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_unplugged = false;
    bool m_readFailure = false;
    bool m_configDiffers = false;
    bool m_enabled = false;
    uint8_t m_config[8] = {0x00, 0x00, 0x25, 0x80, 0, 0, 3, 0}; // 9600 8N1, big-endian baud
    uint8_t m_errorStatus = 0;
    std::deque<uint8_t> m_rx;
    std::deque<Segment> m_line;
    Clock::time_point m_lineFreeAt;
    FrameSource m_source;
    Clock::duration m_period{};
    Clock::time_point m_nextFrameAt;
    uint64_t m_frameIndex = 0;
    bool m_silent = false;
    std::vector<Bytes> m_featureLog;
    Bytes m_written;
};

// One open handle onto an emulated chip (several may share it, as hidraw allows).
class EmulatedHidDevice : public HidDevice
{
public:
    explicit EmulatedHidDevice(std::shared_ptr<Cp2110Emulator> chip)
        : m_chip(std::move(chip))
    {}
    int sendFeatureReport(const uint8_t *data, size_t length) override
    {
        return m_chip->sendFeatureReport(data, length);
    }
    int getFeatureReport(uint8_t *data, size_t length) override
    {
        return m_chip->getFeatureReport(data, length);
    }
    int readTimeout(uint8_t *data, size_t length, int timeoutMs) override
    {
        return m_chip->readTimeout(data, length, timeoutMs);
    }
    int write(const uint8_t *data, size_t length) override { return m_chip->write(data, length); }

private:
    std::shared_ptr<Cp2110Emulator> m_chip;
};
