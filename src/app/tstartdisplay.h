#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the window system is looked for, chosen before the application object exists: Qt ends
// the whole process with an abort when no display it tries answers. The offscreen platform is
// always tried last, so the start goes on; a run that shows nothing (--check) is content with
// it, any other learns from the platform it got that no display answered.
struct TStartDisplay
{
    enum TKind {
        AsGiven,  // the line names its platform (-platform): Qt's own choice stands
        Fallback, // Platforms, then the offscreen one
        None,     // nothing to try: Why says so, and the program ends
    };
    TKind Kind = AsGiven;
    // The value QT_QPA_PLATFORM gets: platforms separated by ";", tried in turn.
    QByteArray Platforms;
    // Whether landing on the offscreen platform means that no display answered.
    bool OffscreenIsFailure = false;
    // Why no window can be opened, in one line.
    QString Why;
};

// arguments: the program's line, the toolkit's options still in it. offscreenWillDo: the run
// shows nothing (a check), so no display is needed at all.
TStartDisplay ChooseStartDisplay(
    const QStringList &arguments, bool offscreenWillDo,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// Holds back what the window system's plugins say while the application object is made: a
// display tried in vain says so, which is noise when the next one answers. Released, the
// messages are told as they came unless dropped; those still held at the end are dropped (a
// run that shows nothing holds them throughout).
class TStartMessages
{
public:
    explicit TStartMessages(bool holdBack);
    ~TStartMessages();
    TStartMessages(const TStartMessages &) = delete;
    TStartMessages &operator=(const TStartMessages &) = delete;

    // Ends the holding back; the messages held are told unless drop is set.
    void Release(bool drop);
};
