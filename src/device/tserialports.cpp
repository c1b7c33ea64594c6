// The serial ports of the machine: the one list that the window's port component and the
// recorder's --list both show, so that they name the same ports in the same order.
#include "tccomm.h"

#include "tdevicechoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The ports the system knows, in any order. On Linux: the ttys of a sysfs class folder that a
// device stands behind, where a serial core line also has a UART. (A Windows build reads the
// value data of the registry key HARDWARE\DEVICEMAP\SERIALCOMM here instead.)
QStringList systemPorts(const QString &ttyClass)
{
    QStringList ports;
    const QDir dir(ttyClass);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        // Consoles and pseudo-terminals have no device behind them.
        if (!QFileInfo::exists(dir.filePath(name + QStringLiteral("/device"))))
            continue;
        // The serial core keeps a line for every port it might have (ttyS0-ttyS31); only
        // those with a UART found behind them have a type other than 0. Read from sysfs, so
        // no port is opened (which needs a right the user may not have) to tell.
        QFile type(dir.filePath(name + QStringLiteral("/type")));
        if (type.exists()) {
            if (!type.open(QIODevice::ReadOnly) || type.readAll().trimmed().toInt() == 0)
                continue;
        }
        ports.append(QStringLiteral("/dev/") + name);
    }
    return ports;
}

} // namespace

QStringList TCComm::ListPorts(const QString &ttyClass)
{
    QStringList ports = systemPorts(ttyClass);
    SortCaseInsensitive(ports);
    return ports;
}
