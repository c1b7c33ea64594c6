#pragma once

// <windows.h> for the tests, without its CBR_* baud rate macros: they would stand in for the
// components' own enumerators of the same names (TCComm::CBR_9600).

#include <winsock2.h>

#include <windows.h>

#include <dbt.h>

#undef CBR_110
#undef CBR_300
#undef CBR_600
#undef CBR_1200
#undef CBR_2400
#undef CBR_4800
#undef CBR_9600
#undef CBR_14400
#undef CBR_19200
#undef CBR_38400
#undef CBR_56000
#undef CBR_57600
#undef CBR_115200
#undef CBR_128000
#undef CBR_256000
// Nor the 16-bit pointer words, which are common names in tests; the headers' own spellings
// of them stay, as nothing.
#undef near
#undef far
#undef NEAR
#undef FAR
#define NEAR
#define FAR
