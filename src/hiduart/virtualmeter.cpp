#include "virtualmeter.h"

namespace {

enum Mode { ModeL = 1, ModeC = 2, ModeR = 3, ModeDcr = 4 };
enum SubMode { SubNone = 0, SubD = 1, SubQ = 2, SubTheta = 4 };
enum Unit { UnitKOhm = 2, UnituH = 5, UnitnF = 10, UnitDeg = 14 };
enum Status {
    StatusNumber = 0,
    StatusBlank = 1,
    StatusDashes = 2,
    StatusOl = 3,
    StatusPass = 7,
    StatusOpen = 9
};
constexpr int Freq1kHz = 2;

// The last count of a reading wanders a little, as on the bench; the same frame always wanders
// the same way.
int jitter(uint64_t k, uint64_t salt, int amplitude)
{
    uint64_t z = k * 0x9E3779B97F4A7C15ULL + salt * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<int>(z % static_cast<uint64_t>(2 * amplitude + 1)) - amplitude;
}

TFrameFields capacitor(uint64_t k)
{
    TFrameFields f;
    f.MainMode = ModeC;
    f.MainValue = 1234 + jitter(k, 1, 1); // 123.4 nF
    f.MainDecimals = 1;
    f.MainUnit = UnitnF;
    f.SubMode = SubD;
    f.SubValue = 12 + jitter(k, 2, 1); // D 0.012
    f.SubDecimals = 3;
    return f;
}

} // namespace

TFrameFields VirtualMeter::fieldsAt(uint64_t k)
{
    const uint64_t i = k % SceneFrames;
    TFrameFields f;
    if (i < 30) {
        // A capacitor; HOLD is pressed once and freezes the reading for four seconds.
        const bool held = i >= 18 && i < 26;
        f = capacitor(held ? k - (i - 17) : k);
        f.Hold = held;
    } else if (i < 36) {
        // The probe is lifted: overload, then the open-lead indication.
        f = capacitor(k);
        f.MainStatus = i < 33 ? StatusOl : StatusOpen;
        f.SubStatus = StatusDashes;
    } else if (i < 60) {
        f.MainMode = ModeL;
        f.MainValue = 4702 + jitter(k, 3, 2); // 470.2 uH
        f.MainDecimals = 1;
        f.MainUnit = UnituH;
        f.SubMode = SubQ;
        f.SubValue = 591 + jitter(k, 4, 3); // Q 5.91
        f.SubDecimals = 2;
    } else if (i < 80) {
        f.MainMode = ModeR;
        f.MainValue = 4701 + jitter(k, 5, 1); // 4.701 kOhm
        f.MainDecimals = 3;
        f.MainUnit = UnitKOhm;
        f.SubMode = SubTheta;
        f.SubValue = 2 + jitter(k, 6, 1); // 0.02 degrees
        f.SubDecimals = 2;
        f.SubUnit = UnitDeg;
    } else if (i < 96) {
        // The same resistor on the DC range: no secondary reading.
        f.MainMode = ModeDcr;
        f.MainValue = 4698 + jitter(k, 7, 1);
        f.MainDecimals = 3;
        f.MainUnit = UnitKOhm;
        f.SubMode = SubNone;
        f.SubStatus = StatusBlank;
    } else {
        // Sorting 100 nF parts against 1 %: each one passes.
        f.MainMode = ModeC;
        f.MainValue = 1004 + jitter(k, 8, 2); // 100.4 nF
        f.MainDecimals = 1;
        f.MainUnit = UnitnF;
        f.Sorting = 5;
        f.SubMode = SubD;
        f.SubStatus = StatusPass;
    }
    f.Auto = true;
    f.Battery = 3;
    f.Frequency = Freq1kHz;
    return f;
}

std::vector<uint8_t> VirtualMeter::frameAt(uint64_t k)
{
    const QByteArray frame = EncodeFrame(fieldsAt(k));
    return std::vector<uint8_t>(frame.begin(), frame.end());
}
