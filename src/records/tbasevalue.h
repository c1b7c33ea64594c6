#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// What a recorded unit text measures, once its prefix is taken off.
enum class TUnitKind : unsigned char { None, Farad, Henry, Ohm, Percent, Degree };

// "F", "H", "Ohm", "%", "deg"; empty for None.
QString UnitKindText(TUnitKind kind);

// A recorded reading as a number in base units (farads, henries, ohms, percent, degrees).
struct TBaseValue
{
    double Value = 0;
    TUnitKind Kind = TUnitKind::None;
};

// The unit a record's unit text names ("nF", "KOhm", "%", "Deg", "" for none) and the power of
// ten that takes a reading in it to base units; nullopt for a text that names no unit.
struct TUnitScale
{
    TUnitKind Kind = TUnitKind::None;
    int Exponent = 0;
};
std::optional<TUnitScale> UnitScale(QByteArrayView unitText);

// Turns a row's value and unit texts into a base-unit number: "123.4" with "nF" gives 1.234e-7.
// The value text is read with the decimal separator it was recorded with. Status words ("OL",
// "OPEN", "-"), blanks and anything else that is not a plain number give nullopt, as does a
// unit text that names no unit. The result is the double nearest to the decimal value, so
// "0.1" uF and "100" nF give the same number.
std::optional<TBaseValue> BaseValue(QByteArrayView valueText, QByteArrayView unitText,
                                    QByteArrayView decimalSep);
// The number part of BaseValue: a plain decimal text times 10^exponent, for a caller that has
// looked the unit up once for many rows.
std::optional<double> ScaledNumber(QByteArrayView text, QByteArrayView decimalSep, int exponent);
std::optional<TBaseValue> BaseValue(QStringView valueText, QStringView unitText,
                                    QStringView decimalSep);
