#include "tlaburl.h"

#include <QRegularExpression>
#include <QUrl>

QString TLabUrl::Display() const
{
    const QString host = Host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(Host) : Host;
    return QStringLiteral("%1://%2%3:%4/%5")
        .arg(Tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"),
             User.isEmpty() ? QString() : User + QLatin1Char('@'), host, QString::number(Port),
             Path);
}

namespace {

// A filter's wildcards stand alone between slashes, and # only at the end.
bool validFilter(const QString &path)
{
    const QStringList levels = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const QString &level = levels[i];
        if (level == QLatin1String("#") && i == levels.size() - 1)
            continue;
        if (level == QLatin1String("+"))
            continue;
        if (level.contains(QLatin1Char('#')) || level.contains(QLatin1Char('+')))
            return false;
    }
    return true;
}

} // namespace

std::optional<TLabUrl> ParseLabUrl(const QString &text, TLabUrlUse use, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<TLabUrl> {
        if (error)
            *error = QStringLiteral("\"%1\" is no broker address: %2").arg(text, why);
        return std::nullopt;
    };
    // Written out rather than through QUrl: a topic filter's "#" would be taken for a fragment.
    static const QRegularExpression form(QStringLiteral(
        R"(^([A-Za-z][A-Za-z0-9+.-]*)://(?:([^:@/]*)(?::([^@/]*))?@)?(\[[^\]/]*\]|[^:/@\[\]]*)(?::([^/]*))?(?:/(.*))?$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return fail(QStringLiteral("expected mqtt://[user[:password]@]host[:port]/%1")
                        .arg(use == TLabUrlUse::Publish ? QStringLiteral("prefix")
                                                        : QStringLiteral("filter")));
    TLabUrl url;
    const QString scheme = m.captured(1).toLower();
    if (scheme == QLatin1String("mqtts"))
        url.Tls = true;
    else if (scheme != QLatin1String("mqtt"))
        return fail(QStringLiteral("the scheme must be mqtt or mqtts, not %1").arg(m.captured(1)));
    url.Port = url.Tls ? 8883 : 1883;
    url.User = QUrl::fromPercentEncoding(m.captured(2).toUtf8());
    if (m.capturedStart(3) >= 0)
        url.Password = QUrl::fromPercentEncoding(m.captured(3).toUtf8());
    else if (!url.User.isEmpty())
        url.Password = qEnvironmentVariable("LUMETRA_MQTT_PASSWORD");
    url.Host = m.captured(4);
    if (url.Host.startsWith(QLatin1Char('[')))
        url.Host = url.Host.mid(1, url.Host.size() - 2);
    if (url.Host.isEmpty())
        return fail(QStringLiteral("no host"));
    if (m.capturedStart(5) >= 0) {
        bool ok = false;
        const uint port = m.captured(5).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return fail(QStringLiteral("the port must be a number from 1 to 65535"));
        url.Port = quint16(port);
    }
    url.Path = m.captured(6);
    if (url.Path.isEmpty() || url.Path.startsWith(QLatin1Char('/'))
        || url.Path.endsWith(QLatin1Char('/')))
        return fail(use == TLabUrlUse::Publish ? QStringLiteral("no topic prefix after the host")
                                               : QStringLiteral("no topic filter after the host"));
    if (use == TLabUrlUse::Publish
        && (url.Path.contains(QLatin1Char('#')) || url.Path.contains(QLatin1Char('+'))))
        return fail(QStringLiteral("a topic prefix cannot hold the wildcards + or #"));
    if (use == TLabUrlUse::Subscribe && !validFilter(url.Path))
        return fail(QStringLiteral("+ and # stand alone between slashes, and # only at the end"));
    return url;
}
