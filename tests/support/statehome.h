#pragma once

// Points XDG_STATE_HOME at a temporary folder while it lives, so that a window started by a
// test or a benchmark keeps its journal there and never touches the user's own state folder.

#include <QByteArray>
#include <QTemporaryDir>

class TTemporaryStateHome
{
public:
    TTemporaryStateHome()
        : Old_(qgetenv("XDG_STATE_HOME"))
        , HadOld_(qEnvironmentVariableIsSet("XDG_STATE_HOME"))
    {
        qputenv("XDG_STATE_HOME", Dir_.path().toLocal8Bit());
    }
    ~TTemporaryStateHome()
    {
        if (HadOld_)
            qputenv("XDG_STATE_HOME", Old_);
        else
            qunsetenv("XDG_STATE_HOME");
    }
    TTemporaryStateHome(const TTemporaryStateHome &) = delete;
    TTemporaryStateHome &operator=(const TTemporaryStateHome &) = delete;

    QString Path() const { return Dir_.path(); }

private:
    QTemporaryDir Dir_;
    QByteArray Old_;
    bool HadOld_;
};
