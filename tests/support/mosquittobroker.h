#pragma once

// A real MQTT broker for the lab bus tests: Debian's mosquitto on a free loopback port, with
// its configuration, persistence and log in a temporary folder. It can be stopped, killed and
// started again on the same port with the same store, as a broker that fails does. Under Wine
// the same Linux broker, started and stopped through the Linux side (hosthelper.h).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include "hosthelper.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

// A folder as the broker and the Linux tools see it (the Linux path of a Wine folder).
inline QString HostPath(const QString &path)
{
#ifdef Q_OS_WIN
    return THostHelper::UnixPath(path);
#else
    return path;
#endif
}

#ifdef Q_OS_WIN
class TMosquittoBroker
{
public:
    explicit TMosquittoBroker(const QString &extra = {})
        : Extra_(extra)
        , Helper_(QStringLiteral(LUMETRA_HOSTHELPER))
    {
        Port_ = THostHelper::FreeLoopbackPort();
    }
    ~TMosquittoBroker() { Stop(); }
    TMosquittoBroker(const TMosquittoBroker &) = delete;
    TMosquittoBroker &operator=(const TMosquittoBroker &) = delete;

    quint16 Port() const { return Port_; }
    QString Dir() const { return Dir_.path(); }
    QString Url(const QString &path, const QString &scheme = QStringLiteral("mqtt")) const
    {
        return QStringLiteral("%1://127.0.0.1:%2/%3").arg(scheme).arg(Port_).arg(path);
    }
    QString Log() const
    {
        QFile f(Dir_.filePath(QStringLiteral("mosquitto.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

    bool Start()
    {
        const QString dir = HostPath(Dir_.path());
        if (!Helper_.IsOpen() || dir.isEmpty())
            return false;
        QFile conf(Dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        conf.write(QStringLiteral("user %1\n"
                                  "persistence true\n"
                                  "persistence_location %2/\n"
                                  "autosave_interval 1\n"
                                  "autosave_on_changes true\n"
                                  "log_dest file %2/mosquitto.log\n"
                                  "log_type all\n"
                                  "listener %3 127.0.0.1\n"
                                  "%4\n")
                       .arg(qEnvironmentVariable("USER", QStringLiteral("root")), dir)
                       .arg(Port_)
                       .arg(Extra_.isEmpty() ? QStringLiteral("allow_anonymous true") : Extra_)
                       .toLocal8Bit());
        conf.close();
        const QByteArray started = Helper_.Ask(
            ("start\t" + dir + "/mosquitto.log\tmosquitto\t-c\t" + dir + "/mosquitto.conf")
                .toLocal8Bit());
        if (!started.startsWith("ok "))
            return false;
        Running_ = true;
        return QTest::qWaitFor([this] { return accepting() || !running(); }, 20000) && running();
    }
    void Kill()
    {
        if (!Running_)
            return;
        Helper_.Ask("signal 9");
        Running_ = !Helper_.Ask("wait 10000").startsWith("killed");
    }
    void Stop()
    {
        if (!Running_)
            return;
        Helper_.Ask("signal 15");
        if (!Helper_.Ask("wait 10000").startsWith("running"))
            Running_ = false;
        else
            Kill();
    }

private:
    bool running()
    {
        if (Running_ && !Helper_.Ask("wait 0").startsWith("running"))
            Running_ = false;
        return Running_;
    }
    bool accepting() const
    {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = THostHelper::Loopback(Port_);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        closesocket(s);
        return ok;
    }

    QTemporaryDir Dir_;
    QString Extra_;
    quint16 Port_ = 0;
    THostHelper Helper_;
    bool Running_ = false;
};
#else
class TMosquittoBroker
{
public:
    // extra: configuration lines for the listener (TLS, passwords), written after it.
    explicit TMosquittoBroker(const QString &extra = {})
        : Extra_(extra)
    {
        Port_ = freePort();
    }
    ~TMosquittoBroker() { Stop(); }
    TMosquittoBroker(const TMosquittoBroker &) = delete;
    TMosquittoBroker &operator=(const TMosquittoBroker &) = delete;

    quint16 Port() const { return Port_; }
    qint64 Pid() const { return Process_.processId(); }
    QString Dir() const { return Dir_.path(); }
    QString Url(const QString &path, const QString &scheme = QStringLiteral("mqtt")) const
    {
        return QStringLiteral("%1://127.0.0.1:%2/%3").arg(scheme).arg(Port_).arg(path);
    }
    QString Log() const
    {
        QFile f(Dir_.filePath(QStringLiteral("mosquitto.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

    // Starts the broker and waits until it accepts connections.
    bool Start()
    {
        const passwd *pw = getpwuid(getuid());
        QFile conf(Dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        // As root, mosquitto would change to its own user, who cannot write our folder.
        conf.write(QStringLiteral("user %1\n"
                                  "persistence true\n"
                                  "persistence_location %2/\n"
                                  "autosave_interval 1\n"
                                  "autosave_on_changes true\n"
                                  "log_dest file %2/mosquitto.log\n"
                                  "log_type all\n"
                                  "listener %3 127.0.0.1\n"
                                  "%4\n")
                       .arg(QString::fromLocal8Bit(pw ? pw->pw_name : "root"), Dir_.path())
                       .arg(Port_)
                       .arg(Extra_.isEmpty() ? QStringLiteral("allow_anonymous true") : Extra_)
                       .toLocal8Bit());
        conf.close();
        Process_.setStandardOutputFile(Dir_.filePath(QStringLiteral("mosquitto.log")),
                                       QIODevice::Append);
        Process_.setStandardErrorFile(Dir_.filePath(QStringLiteral("mosquitto.log")),
                                      QIODevice::Append);
        Process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        if (!Process_.waitForStarted(10000))
            return false;
        return QTest::qWaitFor(
                   [this] { return accepting() || Process_.state() != QProcess::Running; }, 20000)
               && Process_.state() == QProcess::Running;
    }
    // SIGKILL: no goodbye, no last save of the store.
    void Kill()
    {
        if (Process_.state() == QProcess::NotRunning)
            return;
        Process_.kill();
        Process_.waitForFinished(10000);
    }
    // SIGTERM: the store is saved.
    void Stop()
    {
        if (Process_.state() == QProcess::NotRunning)
            return;
        Process_.terminate();
        if (!Process_.waitForFinished(10000))
            Kill();
    }

private:
    static quint16 freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(s);
        return port;
    }
    bool accepting() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(Port_);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }

    QTemporaryDir Dir_;
    QString Extra_;
    quint16 Port_ = 0;
    QProcess Process_;
};
#endif
