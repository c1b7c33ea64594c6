#pragma once

#include <QCommandLineOption>

// The lab bus options, the same in the window and in the recorder.
inline QCommandLineOption LabMqttOption()
{
    return {QStringLiteral("mqtt"),
            QStringLiteral("Publish every recorded reading to the MQTT broker at URL "
                           "(mqtt://[user[:password]@]host[:port]/PREFIX or mqtts://; the "
                           "password may come from LUMETRA_MQTT_PASSWORD), to "
                           "PREFIX/SERIAL/reading."),
            QStringLiteral("URL")};
}

inline QCommandLineOption LabMqttCaOption()
{
    return {QStringLiteral("mqtt-ca"), QStringLiteral("The CA certificate of an mqtts:// broker."),
            QStringLiteral("FILE")};
}

inline QCommandLineOption LabMqttDisplayOption()
{
    return {QStringLiteral("mqtt-display"),
            QStringLiteral("With --mqtt: every decoded frame also to PREFIX/SERIAL/display.")};
}
