#include "ttolerance.h"

#include <QList>
#include <algorithm>
#include <cmath>

std::vector<double> DefaultToleranceClasses()
{
    return {0.5, 1, 2, 5, 10, 20};
}

std::optional<std::vector<double>> ParseToleranceClasses(QStringView text)
{
    std::vector<double> classes;
    for (QStringView part : text.split(QLatin1Char(','))) {
        part = part.trimmed();
        if (part.endsWith(QLatin1Char('%')))
            part.chop(1);
        bool ok = false;
        const double limit = part.trimmed().toDouble(&ok);
        if (!ok || !(limit > 0) || !std::isfinite(limit))
            return std::nullopt;
        if (std::find(classes.begin(), classes.end(), limit) != classes.end())
            return std::nullopt;
        classes.push_back(limit);
    }
    if (classes.empty())
        return std::nullopt;
    std::sort(classes.begin(), classes.end());
    return classes;
}

int ToleranceClassOf(double value, double nominal, std::span<const double> classes)
{
    const double deviation = value - nominal;
    const double slack = std::fabs(nominal) * 4e-9;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (std::fabs(deviation) <= std::fabs(nominal) * classes[i] / 100 + slack)
            return int(i);
    }
    return deviation < 0 ? BelowClass(classes) : AboveClass(classes);
}

int BelowClass(std::span<const double> classes)
{
    return int(classes.size());
}

int AboveClass(std::span<const double> classes)
{
    return int(classes.size()) + 1;
}
