#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Unit codes the meter sends for either display; ordinals 0 and 4 mean "no unit".
enum class TUnit : std::uint8_t {
    uNoneA,
    uOhm,
    uKOhm,
    uMOhm,
    uNoneB,
    uuH,
    umH,
    uH,
    ukH,
    upF,
    unF,
    uuF,
    umF,
    uPercent,
    udeg,
};
inline constexpr int UnitCount = 15;

// The frame carries five unit bits, so codes 15-31 can arrive; they name no unit at all and
// callers must not use them as table indexes.
constexpr std::optional<TUnit> ToUnit(int code)
{
    if (code < 0 || code >= UnitCount)
        return std::nullopt;
    return static_cast<TUnit>(code);
}

// Status codes of either display that the program acts on; the others show the meter's own
// words (OFF, ERR, PASS ...) and are neither recorded as numbers nor plotted.
enum TStatusCode : std::uint8_t {
    stReading = 0, // the display shows its number
    stBlank = 1,
    stDashes = 2,
    stOverload = 3, // plotted at full scale
    stOff = 4,
    stError = 6,
    stPass = 7,
    stFail = 8,
    stOpen = 9,
    stShort = 10,
};

// Measurement modes of the main display.
enum TMainModeCode : std::uint8_t {
    mmNone = 0,
    mmInductance = 1,
    mmCapacitance = 2,
    mmResistance = 3,
    mmDcResistance = 4, // measured without a test frequency
};

// Test frequencies.
enum TFrequencyCode : std::int32_t {
    fq100Hz = 0,
    fq120Hz = 1,
    fq1kHz = 2,
    fq10kHz = 3,
    fq100kHz = 4,
};

// What the meter's display shows, latched field by field as frames arrive. Zero-filled at
// start, which is also the look of a panel that has seen no frame yet.
struct TMeterState
{
    bool Hold = false;
    bool Relative = false;
    bool Lcr = false;
    bool Auto = false;
    bool Parallel = false;
    std::uint8_t Battery = 0;
    std::int32_t Frequency = 0;
    std::int32_t Sorting = 0;
    std::uint8_t MainMode = 0;
    std::int32_t MainValue = 0;
    std::int32_t MainDecimals = 0;
    QString MainText;
    std::uint8_t MainUnit = 0;
    std::uint8_t MainStatus = 0;
    std::uint8_t SubMode = 0;
    std::int32_t SubValue = 0;
    std::int32_t SubDecimals = 0;
    QString SubText;
    std::uint8_t SubUnit = 0;
    std::uint8_t SubStatus = 0;
};
