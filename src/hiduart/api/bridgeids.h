#pragma once

// USB ids of the bridge in the meter's cable (a Silicon Labs CP2110). Only devices with these
// ids are ever opened; the simulated bridges carry them too.
#define LUMETRA_BRIDGE_VID 0x10C4
#define LUMETRA_BRIDGE_PID 0xEA80
