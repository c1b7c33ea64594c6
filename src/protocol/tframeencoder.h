#pragma once

#include <QByteArray>
#include <cstdint>

// The display codes of one frame, as the meter puts them on the wire. Used by the virtual meter
// and by tests, which write frames as readable fields instead of hex dumps.
struct TFrameFields
{
    bool Hold = false;
    bool Relative = false;
    bool Lcr = false;
    bool Auto = false;
    bool Parallel = false;
    int Battery = 0;   // 0-3
    int Frequency = 0; // 0-7
    int Sorting = 0;   // 0-15
    int MainMode = 0;  // 0-7
    int MainValue = 0; // 0-65535
    int MainDecimals = 0;
    int MainUnit = 0;   // 0-31
    int MainStatus = 0; // 0-31
    int SubMode = 0;
    int SubValue = 0;
    int SubDecimals = 0;
    int SubUnit = 0;
    int SubStatus = 0;
};

// The 13 payload bytes of a frame.
QByteArray EncodePayload(const TFrameFields &f);
// The whole 17-byte frame: 00 0D, the payload, 0D 0A.
QByteArray EncodeFrame(const TFrameFields &f);
