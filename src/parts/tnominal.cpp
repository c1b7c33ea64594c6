#include "tnominal.h"

#include <cmath>

namespace {

std::optional<int> PrefixExponent(QChar c)
{
    switch (c.unicode()) {
    case 'p':
        return -12;
    case 'n':
        return -9;
    case 'u':
    case 0x00B5: // micro sign
    case 0x03BC: // Greek mu
        return -6;
    case 'm':
        return -3;
    case 'R':
    case 'r':
        return 0;
    case 'k':
    case 'K':
        return 3;
    case 'M':
        return 6;
    case 'G':
        return 9;
    default:
        return std::nullopt;
    }
}

// Takes a unit word off the end of the text: "F", "H", "Ohm", "ohm", the omega sign.
std::optional<TUnitKind> TakeUnit(QString &text)
{
    struct Entry
    {
        const char16_t *Word;
        TUnitKind Kind;
    };
    static constexpr Entry units[] = {
        {u"Ohm", TUnitKind::Ohm},    {u"ohm", TUnitKind::Ohm}, {u"\u03A9", TUnitKind::Ohm},
        {u"\u2126", TUnitKind::Ohm}, {u"F", TUnitKind::Farad}, {u"H", TUnitKind::Henry},
    };
    for (const Entry &e : units) {
        const QString word = QString::fromUtf16(e.Word);
        if (text.size() > word.size() && text.endsWith(word)) {
            text.chop(word.size());
            text = text.trimmed();
            return e.Kind;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<TNominal> ParseNominal(QStringView input)
{
    QString text = input.trimmed().toString();
    TNominal nominal;
    nominal.Kind = TakeUnit(text);
    if (text.isEmpty())
        return std::nullopt;
    text.remove(QLatin1Char(' '));
    text.replace(QLatin1Char(','), QLatin1Char('.'));

    // Plain numbers and exponents first: "0.0001", "1e-7".
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok) {
        // One prefix letter, either at the end ("4.7k") or standing for the point ("4k7").
        int at = -1;
        for (int i = 0; i < text.size(); ++i) {
            if (!text.at(i).isDigit() && text.at(i) != QLatin1Char('.')) {
                if (at >= 0)
                    return std::nullopt;
                at = i;
            }
        }
        if (at <= 0)
            return std::nullopt;
        const auto exponent = PrefixExponent(text.at(at));
        if (!exponent)
            return std::nullopt;
        const QString head = text.left(at);
        const QString tail = text.mid(at + 1);
        if (!tail.isEmpty() && (head.contains(QLatin1Char('.')) || tail.contains(QLatin1Char('.'))))
            return std::nullopt;
        const QString digits = tail.isEmpty() ? head : head + QLatin1Char('.') + tail;
        value = QStringLiteral("%1e%2").arg(digits).arg(*exponent).toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (!std::isfinite(value) || value <= 0)
        return std::nullopt;
    nominal.Value = value;
    nominal.Text = input.trimmed().toString();
    return nominal;
}

QString FormatSi(double value, TUnitKind kind, int digits)
{
    static const char *const prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G"};
    QString unit = UnitKindText(kind);
    const bool prefixed =
        kind == TUnitKind::Farad || kind == TUnitKind::Henry || kind == TUnitKind::Ohm;
    if (!std::isfinite(value))
        return QStringLiteral("-");
    int step = 0;
    if (prefixed && value != 0) {
        step = int(std::floor(std::log10(std::fabs(value)) / 3));
        step = std::clamp(step, -4, 3);
    }
    double scaled = value / std::pow(10.0, 3 * step);
    // Rounding may carry into the next prefix: 999.96 nF shows as 1 uF.
    QString number = QString::number(scaled, 'g', digits);
    if (prefixed && std::fabs(number.toDouble()) >= 1000 && step < 3) {
        ++step;
        scaled = value / std::pow(10.0, 3 * step);
        number = QString::number(scaled, 'g', digits);
    }
    if (number.contains(QLatin1Char('e')))
        number = QString::number(scaled, 'f', 0);
    const QString prefix = prefixed ? QLatin1String(prefixes[step + 4]) : QLatin1String("");
    if (unit.isEmpty() && prefix.isEmpty())
        return number;
    return number + QLatin1Char(' ') + prefix + unit;
}
