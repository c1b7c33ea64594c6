#include "tlabreading.h"

#include "tbasevalue.h"
#include "trecording.h"
#include "trecordtable.h"
#include "trecordtexts.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cstdlib>

namespace {

QJsonObject readingObject(const QString &mode, const QString &text, const QString &unit,
                          const QString &decimalSep)
{
    QJsonObject o;
    o.insert(QLatin1String("mode"), mode);
    o.insert(QLatin1String("text"), text);
    o.insert(QLatin1String("unit"), unit);
    const std::optional<TBaseValue> value = BaseValue(text, unit, decimalSep);
    o.insert(QLatin1String("value"), value ? QJsonValue(value->Value) : QJsonValue());
    o.insert(QLatin1String("status"), value ? QJsonValue() : QJsonValue(text));
    return o;
}

} // namespace

std::optional<int> LabFrequencyHz(const QString &text)
{
    static const int hz[] = {100, 120, 1000, 10000, 100000};
    for (int f = 0; f < 5; ++f)
        if (text == RecordFrequencyText(f))
            return hz[f];
    return std::nullopt;
}

TLabReading LabReadingFromRow(const TRecordTable &table, qsizetype row, const QString &serial,
                              const QDateTime &time)
{
    TLabReading r;
    r.Serial = serial;
    r.Number = table.ValueAt(row, TRecordTable::aNO).toInt();
    r.Time = time;
    r.MainMode = table.TextAt(row, TRecordTable::aMMode);
    r.MainText = table.TextAt(row, TRecordTable::aMValue);
    r.MainUnit = table.TextAt(row, TRecordTable::aMUnit);
    r.SubMode = table.TextAt(row, TRecordTable::aSMode);
    r.SubText = table.TextAt(row, TRecordTable::aSValue);
    r.SubUnit = table.TextAt(row, TRecordTable::aSUnit);
    r.Frequency = table.TextAt(row, TRecordTable::aFreq);
    return r;
}

void AppendLabReading(TRecordTable &table, const TLabReading &r, const QString &timeSep)
{
    table.Append();
    table.Fields(TRecordTable::aNO).SetValue(r.Number);
    table.Fields(TRecordTable::aTime).SetAsString(RecordTimeText(r.Time, timeSep));
    const std::pair<int, const QString *> texts[] = {
        {TRecordTable::aMMode, &r.MainMode}, {TRecordTable::aMValue, &r.MainText},
        {TRecordTable::aMUnit, &r.MainUnit}, {TRecordTable::aSMode, &r.SubMode},
        {TRecordTable::aSValue, &r.SubText}, {TRecordTable::aSUnit, &r.SubUnit},
        {TRecordTable::aFreq, &r.Frequency}};
    for (const auto &[field, text] : texts)
        table.Fields(field).SetAsString(*text);
    table.Post();
}

QByteArray LabReadingJson(const TLabReading &r, const QString &decimalSep)
{
    QJsonObject o;
    o.insert(QLatin1String("serial"), r.Serial);
    o.insert(QLatin1String("record"), r.Number);
    // With milliseconds and the zone offset spelt out (Qt writes "Z" for UTC), so a reader
    // sees the recording PC's wall clock.
    const int offset = r.Time.offsetFromUtc();
    o.insert(QLatin1String("time"),
             r.Time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
                 + QStringLiteral("%1%2:%3")
                       .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                       .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                       .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0')));
    o.insert(QLatin1String("main"), readingObject(r.MainMode, r.MainText, r.MainUnit, decimalSep));
    o.insert(QLatin1String("secondary"),
             readingObject(r.SubMode, r.SubText, r.SubUnit, decimalSep));
    const std::optional<int> hz = LabFrequencyHz(r.Frequency);
    o.insert(QLatin1String("frequency"), hz ? QJsonValue(*hz) : QJsonValue());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TLabReading> ParseLabReading(const QByteArray &json, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<TLabReading> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parsed);
    if (!doc.isObject())
        return fail(parsed.error != QJsonParseError::NoError ? parsed.errorString()
                                                             : QStringLiteral("not an object"));
    const QJsonObject o = doc.object();
    TLabReading r;
    const QJsonValue serial = o.value(QLatin1String("serial"));
    const QJsonValue number = o.value(QLatin1String("record"));
    if (!serial.isString() || serial.toString().isEmpty())
        return fail(QStringLiteral("no serial"));
    if (!number.isDouble() || number.toDouble() != double(number.toInt()))
        return fail(QStringLiteral("no record number"));
    r.Serial = serial.toString();
    r.Number = number.toInt();
    r.Time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    if (!r.Time.isValid())
        return fail(QStringLiteral("no valid time"));
    const auto texts = [&](const char *key, QString &mode, QString &text, QString &unit) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isObject())
            return false;
        const QJsonObject reading = v.toObject();
        mode = reading.value(QLatin1String("mode")).toString();
        text = reading.value(QLatin1String("text")).toString();
        unit = reading.value(QLatin1String("unit")).toString();
        return true;
    };
    if (!texts("main", r.MainMode, r.MainText, r.MainUnit))
        return fail(QStringLiteral("no main reading"));
    if (!texts("secondary", r.SubMode, r.SubText, r.SubUnit))
        return fail(QStringLiteral("no secondary reading"));
    const QJsonValue hz = o.value(QLatin1String("frequency"));
    for (int f = 0; f < 5 && hz.isDouble(); ++f)
        if (LabFrequencyHz(RecordFrequencyText(f)) == hz.toInt())
            r.Frequency = RecordFrequencyText(f);
    return r;
}
