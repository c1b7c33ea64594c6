#include "tdevicechoice.h"

#include <QCollator>

namespace {

// The four characters after the marker and one separator; a missing marker reads from the
// line's fourth character on, as a search that found nothing at position 0 would.
QString idAfter(const QString &line, const QString &upper, QLatin1String marker)
{
    const qsizetype at = upper.indexOf(marker); // -1 when absent
    return line.mid(at + 4, 4).toUpper();
}

} // namespace

QStringList BridgeSerials(const QStringList &deviceList)
{
    QStringList serials;
    for (const QString &line : deviceList) {
        const QString upper = line.toUpper();
        if (!upper.contains(QLatin1String("VID")))
            continue;
        if (idAfter(line, upper, QLatin1String("VID")) != QLatin1String("10C4"))
            continue;
        if (idAfter(line, upper, QLatin1String("PID")) != QLatin1String("EA80"))
            continue;
        serials.append(line.section(QLatin1Char('='), 0, 0));
    }
    SortCaseInsensitive(serials);
    return serials;
}

void SortCaseInsensitive(QStringList &list)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(list.begin(), list.end(), [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
}
