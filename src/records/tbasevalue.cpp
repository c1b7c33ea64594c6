#include "tbasevalue.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

QString UnitKindText(TUnitKind kind)
{
    switch (kind) {
    case TUnitKind::Farad:
        return QStringLiteral("F");
    case TUnitKind::Henry:
        return QStringLiteral("H");
    case TUnitKind::Ohm:
        return QStringLiteral("Ohm");
    case TUnitKind::Percent:
        return QStringLiteral("%");
    case TUnitKind::Degree:
        return QStringLiteral("deg");
    case TUnitKind::None:
        break;
    }
    return {};
}

std::optional<TUnitScale> UnitScale(QByteArrayView unitText)
{
    // The texts the record table writes for each unit code, and nothing looser: "MOhm" is
    // mega, and a guess at another spelling would put a part in the wrong group silently.
    struct Entry
    {
        QByteArrayView Text; // sized at compile time: no strlen per row
        TUnitKind Kind;
        int Exponent;
    };
    static constexpr Entry table[] = {
        {"", TUnitKind::None, 0},     {"Ohm", TUnitKind::Ohm, 0},    {"KOhm", TUnitKind::Ohm, 3},
        {"MOhm", TUnitKind::Ohm, 6},  {"uH", TUnitKind::Henry, -6},  {"mH", TUnitKind::Henry, -3},
        {"H", TUnitKind::Henry, 0},   {"kH", TUnitKind::Henry, 3},   {"pF", TUnitKind::Farad, -12},
        {"nF", TUnitKind::Farad, -9}, {"uF", TUnitKind::Farad, -6},  {"mF", TUnitKind::Farad, -3},
        {"%", TUnitKind::Percent, 0}, {"Deg", TUnitKind::Degree, 0},
    };
    const QByteArrayView unit = unitText.trimmed();
    for (const Entry &e : table) {
        if (unit == e.Text)
            return TUnitScale{e.Kind, e.Exponent};
    }
    return std::nullopt;
}

namespace {

constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

// Digits with at most one separator and an optional sign, scaled by 10^exponent. One rounding
// only: an integer mantissa below 2^53 times or over an exact power of ten is correctly rounded,
// which keeps equal quantities in different units equal. Longer texts go through from_chars.
std::optional<double> ScaledNumber(QByteArrayView text, QByteArrayView sep, int exponent)
{
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;   // significant digits held in mantissa
    int fraction = 0; // digits after the separator
    int anyDigits = 0;
    bool seenSep = false;
    char buffer[96];
    int len = 0;
    // Every recorded row is read through here: a one-byte separator is one compare.
    const auto atSep = [&](qsizetype at) {
        return sep.size() == 1 ? text[at] == sep[0]
                               : !sep.isEmpty() && text.sliced(at).startsWith(sep);
    };
    while (i < text.size()) {
        if (!seenSep && atSep(i)) {
            seenSep = true;
            i += sep.size();
            continue;
        }
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        ++anyDigits;
        if (len < int(sizeof buffer) - 8)
            buffer[len++] = c;
        else
            return std::nullopt; // no reading is that long
        if (seenSep)
            ++fraction;
        if (mantissa != 0 || c != '0')
            ++digits;
        mantissa = mantissa * 10 + std::uint64_t(c - '0');
        ++i;
    }
    if (anyDigits == 0)
        return std::nullopt;
    const int exp = exponent - fraction;
    double value;
    if (digits <= 15 && exp >= -22 && exp <= 22) {
        value = double(mantissa);
        value = exp < 0 ? value / Pow10[-exp] : value * Pow10[exp];
    } else {
        len += std::snprintf(buffer + len, sizeof buffer - std::size_t(len), "e%d", exp);
        if (std::from_chars(buffer, buffer + len, value).ec != std::errc())
            return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<TBaseValue> BaseValue(QByteArrayView valueText, QByteArrayView unitText,
                                    QByteArrayView decimalSep)
{
    const auto scale = UnitScale(unitText);
    if (!scale)
        return std::nullopt;
    const auto value = ScaledNumber(valueText, decimalSep, scale->Exponent);
    if (!value)
        return std::nullopt;
    return TBaseValue{*value, scale->Kind};
}

std::optional<TBaseValue> BaseValue(QStringView valueText, QStringView unitText,
                                    QStringView decimalSep)
{
    return BaseValue(QByteArrayView(valueText.toUtf8()), QByteArrayView(unitText.toUtf8()),
                     QByteArrayView(decimalSep.toUtf8()));
}
