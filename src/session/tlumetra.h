#pragma once

#include <QString>

// The program's version, as the build declares it ("1.01").
QString LumetraVersion();

// The decimal separator of the system's locale (its numeric settings), read once at start and
// used for every reading after: a change of the locale takes effect at the next start.
const QString &SystemDecimalSep();
