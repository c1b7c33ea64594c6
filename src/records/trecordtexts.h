#pragma once

#include "tmeterstate.h"

#include <QString>

// The texts a record row is made of, from the latched display state. They are the record
// table's own plain texts, not the panel's captions: "Ohm" rather than the omega sign.

// Reading word of a status: the number itself for 0 (the caller passes it), else "OL", "ERR"...
QString RecordReadingText(int status, const QString &numberText);
// "Ls", "Cp", "DCR", ...; the connection letter alone for modes without meaning.
QString RecordMainModeText(int mainMode, bool parallel);
QString RecordSubModeText(int subMode, int mainMode, bool parallel);
// Unit codes past the enumeration give an empty text.
QString RecordUnitText(int unit);
QString RecordFrequencyText(int frequency);
