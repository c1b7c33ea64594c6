#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The line speeds of both device components, by ordinal: the bridge's UART and the serial port
// offer the same fifteen, so the list and its numbers are here once. The number is the one in
// the enumerator's name.
enum TBaudRateCode : std::uint8_t {
    CBR_110,
    CBR_300,
    CBR_600,
    CBR_1200,
    CBR_2400,
    CBR_4800,
    CBR_9600,
    CBR_14400,
    CBR_19200,
    CBR_38400,
    CBR_56000,
    CBR_57600,
    CBR_115200,
    CBR_128000,
    CBR_256000,
};

inline constexpr std::array<std::uint32_t, 15> BaudRates = {
    110,   300,   600,   1200,  2400,   4800,   9600,   14400,
    19200, 38400, 56000, 57600, 115200, 128000, 256000,
};

// Bits per second of a rate; a value outside the enumeration gives 9600.
constexpr std::uint32_t BaudRateValue(TBaudRateCode rate)
{
    return std::size_t(rate) < BaudRates.size() ? BaudRates[rate] : 9600;
}

// The rate of so many bits per second, when it is one of the fifteen.
constexpr std::optional<TBaudRateCode> BaudRateOf(std::uint64_t bitsPerSecond)
{
    for (std::size_t i = 0; i < BaudRates.size(); ++i)
        if (BaudRates[i] == bitsPerSecond)
            return TBaudRateCode(i);
    return std::nullopt;
}
