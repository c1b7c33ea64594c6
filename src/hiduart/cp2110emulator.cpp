#include "cp2110emulator.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t PartNumber = 0x0A;
constexpr uint8_t DeviceVersion = 0x01;
constexpr size_t MaxDataPerReport = 63;
constexpr uint8_t OverrunError = 0x02;
// A source idle for longer than this is not replayed frame by frame when someone looks again.
constexpr auto CatchUpLimit = std::chrono::seconds(2);

} // namespace

Cp2110Emulator::Cp2110Emulator()
    : m_lineFreeAt(Clock::now())
    , m_nextFrameAt(Clock::now())
{}

void Cp2110Emulator::enqueue(Bytes bytes, Clock::time_point at)
{
    if (bytes.empty())
        return;
    const auto start = std::max(at, m_lineFreeAt);
    m_lineFreeAt = start + CharacterTime * static_cast<int64_t>(bytes.size());
    m_line.push_back({start, std::move(bytes), 0});
}

void Cp2110Emulator::deliver(uint8_t byte)
{
    // The chip drops what arrives while its UART is disabled.
    if (!m_enabled)
        return;
    if (m_rx.size() >= ReceiveCapacity) {
        m_errorStatus |= OverrunError;
        return;
    }
    m_rx.push_back(byte);
}

void Cp2110Emulator::advance(Clock::time_point now)
{
    if (m_source) {
        if (now - m_nextFrameAt > CatchUpLimit) {
            const auto skipped = (now - m_nextFrameAt) / m_period - 1;
            if (skipped > 0) {
                m_nextFrameAt += m_period * skipped;
                m_frameIndex += static_cast<uint64_t>(skipped);
            }
        }
        while (m_nextFrameAt <= now) {
            // A meter does not start a frame while the line is still busy with other bytes.
            if (!m_silent && m_lineFreeAt <= m_nextFrameAt)
                enqueue(m_source(m_frameIndex), m_nextFrameAt);
            m_nextFrameAt += m_period;
            ++m_frameIndex;
        }
    }
    while (!m_line.empty()) {
        Segment &s = m_line.front();
        while (s.next < s.bytes.size()
               && s.start + CharacterTime * static_cast<int64_t>(s.next + 1) <= now)
            deliver(s.bytes[s.next++]);
        if (s.next < s.bytes.size())
            break;
        m_line.pop_front();
    }
}

Cp2110Emulator::Clock::time_point Cp2110Emulator::nextArrival() const
{
    auto next = Clock::time_point::max();
    if (!m_line.empty()) {
        const Segment &s = m_line.front();
        next = s.start + CharacterTime * static_cast<int64_t>(s.next + 1);
    }
    if (m_source && !m_silent)
        next = std::min(next, std::max(m_nextFrameAt, m_lineFreeAt) + CharacterTime);
    return next;
}

int Cp2110Emulator::sendFeatureReport(const uint8_t *data, size_t length)
{
    std::lock_guard lock(m_mutex);
    if (m_unplugged || !data || length < 2)
        return -1;
    advance(Clock::now());
    switch (data[0]) {
    case 0x41:
        if (data[1] > 1)
            return -1;
        m_enabled = data[1] == 1;
        break;
    case 0x43:
        if (data[1] & 0x02)
            m_rx.clear();
        break;
    case 0x50:
        if (length < 1 + sizeof m_config)
            return -1;
        std::memcpy(m_config, data + 1, sizeof m_config);
        break;
    case 0x51:
    case 0x52:
        break;
    default:
        return -1;
    }
    m_featureLog.emplace_back(data, data + length);
    return static_cast<int>(length);
}

int Cp2110Emulator::getFeatureReport(uint8_t *data, size_t length)
{
    std::lock_guard lock(m_mutex);
    if (m_unplugged || !data || length < 1)
        return -1;
    advance(Clock::now());
    Bytes payload;
    switch (data[0]) {
    case 0x41:
        payload = {static_cast<uint8_t>(m_enabled ? 1 : 0)};
        break;
    case 0x42: {
        const auto rx = static_cast<uint16_t>(std::min<size_t>(m_rx.size(), 0xFFFF));
        payload = {0, 0, static_cast<uint8_t>(rx >> 8), static_cast<uint8_t>(rx), m_errorStatus, 0};
        m_errorStatus = 0; // the chip clears its error flags when they are read
        break;
    }
    case 0x44:
        payload = {0xFF, 0xFF};
        break;
    case 0x46:
        payload = {PartNumber, DeviceVersion};
        break;
    case 0x50: {
        payload.assign(m_config, m_config + sizeof m_config);
        if (m_configDiffers) {
            uint32_t baud = (uint32_t(payload[0]) << 24) | (uint32_t(payload[1]) << 16)
                            | (uint32_t(payload[2]) << 8) | payload[3];
            baud /= 2;
            for (int i = 0; i < 4; ++i)
                payload[i] = static_cast<uint8_t>(baud >> (24 - 8 * i));
        }
        break;
    }
    case 0x66:
        // 13 pin modes, suspend use, suspend value and mode, RS-485 level, clock divider.
        payload = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
        break;
    default:
        return -1;
    }
    const size_t n = std::min(length - 1, payload.size());
    std::memcpy(data + 1, payload.data(), n);
    return static_cast<int>(n + 1);
}

int Cp2110Emulator::readTimeout(uint8_t *data, size_t length, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (!data || length < 2)
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (m_unplugged || m_readFailure)
            return -1;
        const auto now = Clock::now();
        advance(now);
        if (!m_rx.empty()) {
            const size_t n = std::min({m_rx.size(), MaxDataPerReport, length - 1});
            data[0] = static_cast<uint8_t>(n);
            std::copy_n(m_rx.begin(), n, data + 1);
            m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(n));
            return static_cast<int>(n + 1);
        }
        if (now >= deadline)
            return 0;
        m_changed.wait_until(lock, std::min(deadline, nextArrival()));
    }
}

int Cp2110Emulator::write(const uint8_t *data, size_t length)
{
    std::lock_guard lock(m_mutex);
    if (m_unplugged || !data || length < 2 || data[0] < 1 || data[0] > MaxDataPerReport
        || length < size_t(data[0]) + 1)
        return -1;
    m_written.insert(m_written.end(), data + 1, data + 1 + data[0]);
    return static_cast<int>(length);
}

void Cp2110Emulator::setFrameSource(FrameSource source, Clock::duration period)
{
    std::lock_guard lock(m_mutex);
    if (period <= Clock::duration::zero())
        source = nullptr;
    m_source = std::move(source);
    m_period = period;
    m_nextFrameAt = Clock::now() + period;
    m_frameIndex = 0;
    m_changed.notify_all();
}

void Cp2110Emulator::setFramePeriod(Clock::duration period)
{
    if (period <= Clock::duration::zero())
        return;
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    advance(now);
    m_period = period;
    m_nextFrameAt = std::min(m_nextFrameAt, now + period);
    m_changed.notify_all();
}

void Cp2110Emulator::setSourceSilent(bool silent)
{
    std::lock_guard lock(m_mutex);
    advance(Clock::now());
    m_silent = silent;
    m_changed.notify_all();
}

void Cp2110Emulator::transmit(const Bytes &bytes)
{
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    advance(now);
    enqueue(bytes, now);
    m_changed.notify_all();
}

void Cp2110Emulator::receiveNow(const Bytes &bytes)
{
    std::lock_guard lock(m_mutex);
    advance(Clock::now());
    for (const uint8_t b : bytes)
        deliver(b);
    m_changed.notify_all();
}

void Cp2110Emulator::unplug()
{
    std::lock_guard lock(m_mutex);
    m_unplugged = true;
    m_changed.notify_all();
}

std::shared_ptr<Cp2110Emulator> Cp2110Emulator::replugged()
{
    auto chip = std::make_shared<Cp2110Emulator>();
    std::lock_guard lock(m_mutex);
    // Brought up to now first, so frames that fell due while the cable was out are not sent
    // late by the new chip.
    advance(Clock::now());
    chip->m_source = m_source;
    chip->m_period = m_period;
    chip->m_nextFrameAt = m_nextFrameAt;
    chip->m_frameIndex = m_frameIndex;
    chip->m_silent = m_silent;
    // A frame still going out keeps the line busy until its end, as on the meter's side.
    chip->m_lineFreeAt = m_lineFreeAt;
    return chip;
}

void Cp2110Emulator::setReadFailure(bool fail)
{
    std::lock_guard lock(m_mutex);
    m_readFailure = fail;
    m_changed.notify_all();
}

void Cp2110Emulator::setConfigReadBackDiffers(bool differs)
{
    std::lock_guard lock(m_mutex);
    m_configDiffers = differs;
}

bool Cp2110Emulator::uartEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

std::vector<Cp2110Emulator::Bytes> Cp2110Emulator::featureReportsSet() const
{
    std::lock_guard lock(m_mutex);
    return m_featureLog;
}

Cp2110Emulator::Bytes Cp2110Emulator::written() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}
