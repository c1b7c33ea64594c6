#pragma once

// A serial line for the Win32 serial component under Wine: a pseudo-terminal that the Linux
// side (hosthelper) makes and links as COMn in the Wine prefix, so the component opens "COMn"
// as it would a port on Windows; the test plays the line's other end. Wine only.

#include "hosthelper.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>

class TComLine
{
public:
    // helper: hosthelper's path on the Linux side; number: the COM port it becomes.
    TComLine(const QString &helper, int number)
        : Helper_(helper)
        , Name_(QStringLiteral("COM%1").arg(number))
    {
        // The prefix's dosdevices/comN is what Wine opens for COMn.
        const QString drive = THostHelper::UnixPath(QStringLiteral("C:\\"));
        if (!Helper_.IsOpen() || drive.isEmpty())
            return;
        // Wine names C: by its drive link (dosdevices/c:) or by the folder (drive_c).
        QString devices = QDir::cleanPath(drive + QStringLiteral("/.."));
        if (QFileInfo(devices).fileName() != QLatin1String("dosdevices"))
            devices += QStringLiteral("/dosdevices");
        const QByteArray made =
            Helper_.Ask("pty " + (devices + QStringLiteral("/com%1").arg(number)).toLocal8Bit());
        Ready_ = made.startsWith("ok ");
        if (!Ready_)
            qWarning("hosthelper: no line as COM%d: %s", number, made.constData());
    }

    // False outside Wine, or when the line could not be made.
    bool IsOpen() const { return Ready_; }
    const QString &Name() const { return Name_; }

    // Sends bytes down the line; true when every byte went.
    bool Write(const QByteArray &bytes) { return Helper_.Ask("write " + bytes.toHex(' ')) == "ok"; }
    // The line's settings as the component left them: "9600 8N1".
    QByteArray Settings() { return Helper_.Ask("settings"); }
    // The other end goes away, as when a cable is pulled.
    bool HangUp() { return Helper_.Ask("hangup") == "ok"; }

private:
    THostHelper Helper_;
    QString Name_;
    bool Ready_ = false;
};
