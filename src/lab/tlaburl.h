#pragma once

#include <QString>
#include <optional>

// Where a lab bus lives: mqtt://[user[:password]@]host[:port]/path, or mqtts:// for TLS. The
// path is the topic prefix a publisher writes under, or the topic filter a subscriber reads.
struct TLabUrl
{
    bool Tls = false;
    QString Host;
    quint16 Port = 1883;
    QString User;
    QString Password;
    QString Path;

    // The URL as it may be shown: never the password.
    QString Display() const;
};

enum class TLabUrlUse { Publish, Subscribe };

// The password comes from the URL, else from LUMETRA_MQTT_PASSWORD when a user is named.
// Nothing, with error set to the reason, when the text is no such URL or its path is no
// prefix (Publish: a topic without wildcards) or filter (Subscribe) of MQTT.
std::optional<TLabUrl> ParseLabUrl(const QString &text, TLabUrlUse use, QString *error);
