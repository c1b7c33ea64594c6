#pragma once

#include "tccomm.h"

struct termios2;

// Writes a serial port's settings into the kernel's termios2 record of its line: raw bytes,
// the rate (exactly, also one without a B constant), data bits, parity (mark and space
// included), stop bits, no flow control. The caller reads the record first and writes it back.
void SetLineSettings(termios2 &line, TCComm::TBaudrate rate, TCComm::TByteSize size,
                     TCComm::TParity parity, TCComm::TStopBits stop);
