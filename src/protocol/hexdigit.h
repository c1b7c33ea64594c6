#pragma once

// The value of one hexadecimal digit of either case, or -1: the receive buffer and the raw
// stream's capture files both spell bytes this way.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
