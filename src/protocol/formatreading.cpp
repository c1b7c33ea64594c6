#include "formatreading.h"

std::optional<QString> FormatReading(int value, int decimals, bool leadingZero,
                                     const QString &decimalSep)
{
    if (decimals < 0 || decimals > 4)
        return std::nullopt;
    QString digits = QString::number(value);
    if (decimals == 0)
        return digits;
    if (digits.size() < decimals + 1)
        digits = QString(decimals + 1 - digits.size(), QLatin1Char('0')) + digits;
    digits.insert(digits.size() - decimals, decimalSep);
    if (decimals == 4 && leadingZero && digits.size() == 6 && digits.front() == QLatin1Char('0'))
        digits.remove(0, 1);
    return digits;
}

int FullScale(int decimals)
{
    static constexpr int scales[] = {20000, 2000, 200, 20, 2};
    return decimals >= 0 && decimals <= 4 ? scales[decimals] : 0;
}

std::optional<double> ReadingToNumber(const QString &text, const QString &decimalSep)
{
    // Only digits and one separator make a number; status words and blanks do not.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QString normal;
    normal.reserve(trimmed.size());
    bool seenSep = false;
    for (qsizetype i = 0; i < trimmed.size();) {
        if (!decimalSep.isEmpty() && !seenSep
            && QStringView(trimmed).sliced(i).startsWith(decimalSep)) {
            normal += QLatin1Char('.');
            seenSep = true;
            i += decimalSep.size();
            continue;
        }
        const QChar c = trimmed.at(i);
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
        normal += c;
        ++i;
    }
    if (normal == QLatin1String("."))
        return std::nullopt;
    bool ok = false;
    const double v = normal.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

double PlottedValue(const TMeterState &s, const QString &decimalSep)
{
    if (s.MainStatus == stReading)
        return ReadingToNumber(s.MainText, decimalSep).value_or(0.0);
    if (s.MainStatus == stOverload)
        return FullScale(s.MainDecimals);
    return 0.0;
}
