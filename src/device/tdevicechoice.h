#pragma once

#include <QString>
#include <QStringList>

// The bridges among the known devices: the serial texts of the "serial=path" lines that carry
// vendor 10C4 and product EA80, sorted without regard to case. The ids are looked for anywhere in
// the line, each as the four characters after "VID" or "PID" and one separator of any kind.
QStringList BridgeSerials(const QStringList &deviceList);

// Sorts ascending without regard to case, in the user's locale, as device lists are shown.
void SortCaseInsensitive(QStringList &list);
