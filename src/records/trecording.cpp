#include "trecording.h"

#include "formatreading.h"
#include "trecordtable.h"
#include "trecordtexts.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

std::optional<QString> CpIntegerText(const TMeterState &s, const QString &displayText,
                                     const QString &decimalSep)
{
    // The meter's own readout of a low-frequency parallel capacitance carries digits past its
    // accuracy; the record keeps the whole part only.
    if (!s.Parallel || s.MainMode != mmCapacitance
        || (s.Frequency != fq100Hz && s.Frequency != fq120Hz) || s.MainStatus != stReading)
        return std::nullopt;
    const std::optional<double> number = ReadingToNumber(displayText, decimalSep);
    if (!number || !std::isfinite(*number) || std::fabs(*number) >= 9.2e18)
        return std::nullopt;
    // Toward zero: the fraction is dropped, never rounded up.
    return QString::number(static_cast<qint64>(std::trunc(*number)));
}

TRecordRowTexts RecordRowTexts(const TMeterState &s)
{
    TRecordRowTexts t;
    t.MValue = RecordReadingText(s.MainStatus, s.MainText);
    t.MMode = RecordMainModeText(s.MainMode, s.Parallel);
    t.MUnit = RecordUnitText(s.MainUnit);
    t.SMode = RecordSubModeText(s.SubMode, s.MainMode, s.Parallel);
    t.SValue = RecordReadingText(s.SubStatus, s.SubText);
    t.SUnit = RecordUnitText(s.SubUnit);
    t.Freq = RecordFrequencyText(s.Frequency);
    return t;
}

QString RecordTimeText(const QDateTime &t, const QString &timeSep)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%04d-%02d-%02d %02d", d.year(), d.month(), d.day(), c.hour())
           + timeSep + QString::asprintf("%02d", c.minute()) + timeSep
           + QString::asprintf("%02d", c.second());
}

QString TimeSeparatorOf(const QString &timeFormat)
{
    // The literal text between the hour and the minute pattern letters, quotes removed.
    qsizetype i = 0;
    while (i < timeFormat.size() && timeFormat[i] != u'h' && timeFormat[i] != u'H')
        ++i;
    while (i < timeFormat.size() && (timeFormat[i] == u'h' || timeFormat[i] == u'H'))
        ++i;
    QString sep;
    for (; i < timeFormat.size() && timeFormat[i] != u'm'; ++i)
        if (timeFormat[i] != u'\'')
            sep += timeFormat[i];
    sep = sep.trimmed();
    return sep.isEmpty() || i >= timeFormat.size() ? QStringLiteral(":") : sep;
}

QString SystemTimeSeparator()
{
#ifdef Q_OS_WIN
    // The user's own time format from the regional options, as every Windows program reads it.
    wchar_t format[80] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format, 80);
    if (n > 1)
        return TimeSeparatorOf(QString::fromWCharArray(format, n - 1));
#endif
    return TimeSeparatorOf(QLocale::system().timeFormat(QLocale::ShortFormat));
}

void AppendRecord(TRecordTable &table, const TMeterState &s, const QDateTime &now,
                  const QString &timeSep)
{
    const TRecordRowTexts t = RecordRowTexts(s);
    table.Append();
    // Read while the new row is still pending, so it counts the rows already held.
    table.Fields(TRecordTable::aNO).SetValue(int(table.RecordCount() + 1));
    table.Fields(TRecordTable::aTime).SetAsString(RecordTimeText(now, timeSep));
    table.Fields(TRecordTable::aMMode).SetAsString(t.MMode);
    table.Fields(TRecordTable::aMValue).SetAsString(t.MValue);
    table.Fields(TRecordTable::aMUnit).SetAsString(t.MUnit);
    table.Fields(TRecordTable::aSMode).SetAsString(t.SMode);
    table.Fields(TRecordTable::aSValue).SetAsString(t.SValue);
    table.Fields(TRecordTable::aSUnit).SetAsString(t.SUnit);
    table.Fields(TRecordTable::aFreq).SetAsString(t.Freq);
    table.Post();
}

std::optional<qint64> RecordIntervalSeconds(const QString &text)
{
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (!ok || seconds < 1 || seconds > MaxRecordIntervalSeconds)
        return std::nullopt;
    return seconds;
}
