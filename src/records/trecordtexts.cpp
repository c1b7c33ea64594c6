#include "trecordtexts.h"

QString RecordReadingText(int status, const QString &numberText)
{
    switch (status) {
    case 0:
        return numberText;
    case 2:
        return QStringLiteral("-");
    case 3:
        return QStringLiteral("OL");
    case 6:
        return QStringLiteral("ERR");
    case 7:
        return QStringLiteral("PASS");
    case 8:
        return QStringLiteral("FAIL");
    case 9:
        return QStringLiteral("OPEN");
    case 10:
        return QStringLiteral("SHORT");
    default: // blank, OFF and codes without meaning
        return {};
    }
}

QString RecordMainModeText(int mainMode, bool parallel)
{
    const QString connection = parallel ? QStringLiteral("p") : QStringLiteral("s");
    switch (mainMode) {
    case 0:
        return {};
    case 1:
        return QLatin1Char('L') + connection;
    case 2:
        return QLatin1Char('C') + connection;
    case 3:
        return QLatin1Char('R') + connection;
    case 4:
        return QStringLiteral("DCR");
    default:
        return connection;
    }
}

QString RecordSubModeText(int subMode, int mainMode, bool parallel)
{
    switch (subMode) {
    case 1:
        return QStringLiteral("D");
    case 2:
        return QStringLiteral("Q");
    case 3:
        // A series or parallel resistance belongs to a reactance; a resistor has none.
        if (mainMode == 1 || mainMode == 2)
            return parallel ? QStringLiteral("RP") : QStringLiteral("ESR");
        return {};
    case 4:
        return QString(QChar(0x03B8));
    default:
        return {};
    }
}

QString RecordUnitText(int unit)
{
    static const char *const texts[UnitCount] = {"",   "Ohm", "KOhm", "MOhm", "",   "uH", "mH", "H",
                                                 "kH", "pF",  "nF",   "uF",   "mF", "%",  "Deg"};
    const auto u = ToUnit(unit);
    return u ? QLatin1String(texts[int(*u)]) : QString();
}

QString RecordFrequencyText(int frequency)
{
    static const char *const texts[] = {"100Hz", "120Hz", "1KHz", "10KHz", "100KHz"};
    return frequency >= 0 && frequency < 5 ? QLatin1String(texts[frequency]) : QString();
}
