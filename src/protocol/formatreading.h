#pragma once

#include "tmeterstate.h"

#include <QString>
#include <optional>

// Turns raw display counts into the text the meter shows. Decimals codes 5-7 have no text:
// the caller keeps what it had. With leadingZero the main display's "0.1234" becomes ".1234",
// as on the meter, where five digits and a point are all the main display holds.
std::optional<QString> FormatReading(int value, int decimals, bool leadingZero,
                                     const QString &decimalSep);

// Full scale of a display for its decimals code: 20000, 2000, 200, 20, 2; 0 for 5-7.
int FullScale(int decimals);

// Reads a reading text back into a number with the separator FormatReading put in, so a text
// built from a frame always converts back to its value. nullopt when it is not a number.
std::optional<double> ReadingToNumber(const QString &text, const QString &decimalSep);

// The value the trend chart plots and the bar shows for a frame's main reading: the number,
// full scale for an overload, 0 for anything else (a status word, a text that is no number).
double PlottedValue(const TMeterState &s, const QString &decimalSep);
