#pragma once

#include "tbasevalue.h"

#include <QString>
#include <QStringView>
#include <optional>

// A nominal value as a user types it: "100n", "4.7k", "470u", "2m2", "4k7", "4R7", "100nF",
// "4.7 kOhm", "1e-7". The unit, when one is written, says which parts it is meant for.
struct TNominal
{
    double Value = 0;
    std::optional<TUnitKind> Kind;
    QString Text; // as typed, for telling the user which one is meant
};
std::optional<TNominal> ParseNominal(QStringView text);

// A base-unit value with an SI prefix and at most four significant digits: "100 nF", "4.7 kOhm".
QString FormatSi(double value, TUnitKind kind, int digits = 4);
