#pragma once

// The worked frame that tests and benchmarks start from: a capacitor at 123.4 nF, D 0.012, 1 kHz,
// auto range, full battery. Header only and without the window, so the decoder's own test and
// benchmark can use it with nothing but the protocol library.

#include "tframeencoder.h"

#include <QByteArray>

// As it stands on the wire: 00 0D 40 58 00 02 04 D2 51 00 01 00 0C 03 00 0D 0A. Written out
// byte by byte, not encoded, so the decoder's tests do not lean on the encoder.
inline const QByteArray WorkedFrame =
    QByteArray::fromHex("000D40580002 04D2 5100 01000C 0300 0D0A");

// The same frame as readable fields; a test that needs another reading changes only the fields
// it is about.
inline TFrameFields workedFields()
{
    TFrameFields f;
    f.Auto = true;
    f.Battery = 3;
    f.Frequency = 2;
    f.MainMode = 2;
    f.MainValue = 1234;
    f.MainDecimals = 1;
    f.MainUnit = 10;
    f.SubMode = 1;
    f.SubValue = 12;
    f.SubDecimals = 3;
    return f;
}
