#pragma once

#include <QMetaType>
#include <QString>

// How a notice is to be put before the user. The window shows Information and Error through
// its message dialog and SystemError as the system's plain error box; the recorder prints all.
enum class TNoticeKind { Information, Error, SystemError };

// Something the core has to tell the user, in the program's own words.
struct TNotice
{
    TNoticeKind Kind = TNoticeKind::Information;
    QString Text;
    // Also for the terminal the program was started from: the fix is typed there, or the
    // window may be gone before anyone reads it.
    bool Terminal = false;
    // The user can mend the cause (a udev rule, another program holding the cable) and try
    // again; each front end ends the text with how: the window's button, or the command.
    bool TryAgain = false;

    bool operator==(const TNotice &) const = default;
};
Q_DECLARE_METATYPE(TNotice)
