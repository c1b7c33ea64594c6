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
    QString LastRecordedText;
};
