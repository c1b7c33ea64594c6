#pragma once

#include "tmeterstate.h"

#include <QFlags>

// The parts of the meter's display a frame can change, in the order they are refreshed: the
// decoder's order, since a later refresh may rely on what an earlier one showed. A new element
// of the display is a new flag here, set by the decoder and shown by the panel.
enum class TDisplayPart : unsigned {
    Activity = 1u << 0, // a block arrived (no frame of its own)
    MainUnit = 1u << 1,
    Hold = 1u << 2,
    Relative = 1u << 3,
    Lcr = 1u << 4,
    Auto = 1u << 5,
    Battery = 1u << 6,
    Frequency = 1u << 7,
    Sorting = 1u << 8,
    MainMode = 1u << 9,
    MainStatus = 1u << 10, // the main reading and the bar
    SubMode = 1u << 11,
    SubUnit = 1u << 12,
    SubStatus = 1u << 13,
    BarMax = 1u << 14,
    MainText = 1u << 15, // the main reading alone, rewritten as it was recorded
};
Q_DECLARE_FLAGS(TDisplayChanges, TDisplayPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDisplayChanges)

// What the decoder tells the rest of the program: once per decoded frame, after the whole
// frame is latched, with the parts of the display it changed.
class TMeterHooks
{
public:
    virtual ~TMeterHooks() = default;

    virtual void FrameDecoded(const TMeterState &, TDisplayChanges) {}
};
