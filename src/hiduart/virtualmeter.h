#pragma once

// The meter behind a simulated bridge: a bench session on a loop, one frame every half second.
// Each frame is a pure function of its index, so any thread may ask for any frame.

#include "tframeencoder.h"

#include <cstdint>
#include <vector>

class VirtualMeter
{
public:
    static constexpr int FramesPerSecond = 2;
    static constexpr uint64_t SceneFrames = 126; // one loop, about a minute

    // The display the meter shows at frame k of its scene.
    static TFrameFields fieldsAt(uint64_t k);
    static std::vector<uint8_t> frameAt(uint64_t k);
};
