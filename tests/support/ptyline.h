#pragma once

#include "tccomm.h"

#include <cstdint>

// The settings a terminal holds, read through the kernel's termios2, which also knows rates
// without a B constant.
struct TLineState
{
    std::uint32_t Speed = 0; // output rate, bits per second
    int DataBits = 0;
    int StopBits = 0;   // 1 or 2
    char Parity = '?';  // N, O, E, M or S
    bool Raw = false;   // no line editing, echo, signals, translation or flow control
    bool Exact = false; // a rate without a B constant is given as a number
};

TLineState ReadLineState(int fd);

// What the serial component asks of a line for these settings, starting from a line in
// cooked mode with every flag the component has to clear set.
TLineState LineAskedFor(TCComm::TBaudrate rate, TCComm::TByteSize size, TCComm::TParity parity,
                        TCComm::TStopBits stop);
