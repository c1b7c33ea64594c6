#pragma once

// A pseudo-terminal pair standing in for a serial line: the component under test opens the
// slave by its name, the test plays the other end through the master.

#include "ptyline.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

class TPty
{
public:
    TPty()
    {
        char name[128] = {};
        if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) {
            Master = Slave = -1;
            return;
        }
        Name = QString::fromLocal8Bit(name);
        ::fcntl(Slave, F_SETFL, ::fcntl(Slave, F_GETFL) | O_NONBLOCK);
        // A program the test starts must not hold the line open behind the test's back: a
        // hang-up would never reach it.
        ::fcntl(Master, F_SETFD, FD_CLOEXEC);
        ::fcntl(Slave, F_SETFD, FD_CLOEXEC);
    }
    ~TPty()
    {
        HangUp();
        if (Slave >= 0)
            ::close(Slave);
    }
    TPty(const TPty &) = delete;
    TPty &operator=(const TPty &) = delete;

    bool IsOpen() const { return Master >= 0; }

    // Sends bytes down the line; true when every byte went.
    bool Write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (Master >= 0 && done < bytes.size()) {
            const ssize_t n =
                ::write(Master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                return false;
            else if (n < 0 && errno == EAGAIN) {
                pollfd p{Master, POLLOUT, 0};
                ::poll(&p, 1, 1000);
            }
        }
        return done == bytes.size();
    }

    // Takes from the line, through the test's own slave descriptor, what the component has not
    // read yet.
    QByteArray Drain()
    {
        QByteArray all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(Slave, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }

    // The other end goes away, as when a cable is pulled.
    void HangUp()
    {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }

    int Master = -1;
    int Slave = -1; // the test's own view of the line, for reading its settings back
    QString Name;
};
