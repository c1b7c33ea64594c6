#pragma once

// Points XDG_STATE_HOME (LOCALAPPDATA on Windows) at a temporary folder while it lives, so that
// a window started by a test or a benchmark keeps its journal there and never touches the
// user's own state folder.

#include <QByteArray>
#include <QTemporaryDir>

// The variable that names the folder the state folder is made in: the journal is kept in
// $XDG_STATE_HOME/lumetra, on Windows in %LOCALAPPDATA%\Lumetra.
#ifdef Q_OS_WIN
inline constexpr char StateHomeVariable[] = "LOCALAPPDATA";
inline constexpr char StateFolderName[] = "Lumetra";
#else
inline constexpr char StateHomeVariable[] = "XDG_STATE_HOME";
inline constexpr char StateFolderName[] = "lumetra";
#endif

class TTemporaryStateHome
{
public:
    TTemporaryStateHome()
        : Old_(qgetenv(Variable))
        , HadOld_(qEnvironmentVariableIsSet(Variable))
    {
        qputenv(Variable, Dir_.path().toLocal8Bit());
    }
    ~TTemporaryStateHome()
    {
        if (HadOld_)
            qputenv(Variable, Old_);
        else
            qunsetenv(Variable);
    }
    TTemporaryStateHome(const TTemporaryStateHome &) = delete;
    TTemporaryStateHome &operator=(const TTemporaryStateHome &) = delete;

    QString Path() const { return Dir_.path(); }

private:
    static constexpr const char *Variable = StateHomeVariable;
    QTemporaryDir Dir_;
    QByteArray Old_;
    bool HadOld_;
};
