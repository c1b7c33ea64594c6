#include "tccomm.h"

#include "tlinesettings.h"

#include <QFile>

// The kernel's own terminal interface rather than <termios.h>: only termios2 sets a rate that
// has no B constant (14400, 56000, 128000, 256000) exactly.
#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace {

// The kernel's code for a rate; BOTHER where it has none, and the rate is given as a number.
tcflag_t rateCode(std::uint32_t bits)
{
    switch (bits) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return BOTHER;
    }
}

tcflag_t byteSizeFlag(TCComm::TByteSize size)
{
    switch (size) {
    case TCComm::_5:
        return CS5;
    case TCComm::_6:
        return CS6;
    case TCComm::_7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t parityFlags(TCComm::TParity parity)
{
    switch (parity) {
    case TCComm::Odd:
        return PARENB | PARODD;
    case TCComm::Even:
        return PARENB;
    case TCComm::Mark: // the parity bit always 1
        return PARENB | CMSPAR | PARODD;
    case TCComm::Space: // the parity bit always 0
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

int ioctlRetry(int fd, unsigned long request, void *arg)
{
    int r;
    do
        r = ::ioctl(fd, request, arg);
    while (r < 0 && errno == EINTR);
    return r;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toLocal8Bit().toStdString());
}

} // namespace

void SetLineSettings(termios2 &line, TCComm::TBaudrate rate, TCComm::TByteSize size,
                     TCComm::TParity parity, TCComm::TStopBits stop)
{
    // Raw bytes: no line editing, echo, signals, translation, parity checking or flow control.
    line.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                              | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    line.c_oflag &= ~tcflag_t(OPOST);
    line.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;

    const std::uint32_t bits = BaudRateValue(rate);
    // Clearing the input rate bits makes the input rate follow the output rate.
    line.c_cflag &=
        ~tcflag_t(CBAUD | (CBAUD << IBSHIFT) | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    line.c_cflag |= rateCode(bits) | byteSizeFlag(size) | parityFlags(parity) | CREAD | CLOCAL;
    line.c_ispeed = line.c_ospeed = bits;
    // POSIX knows one or two stop bits; one and a half is asked for as two, which a 16550-style
    // UART sends as one and a half with five data bits.
    if (stop != TCComm::_1)
        line.c_cflag |= CSTOPB;
}

void TCComm::Open()
{
    if (PortHandle_ >= 0)
        fail(CommPort_ + QStringLiteral(" has been opened!"));
    const QString failed = QStringLiteral("Failed to open ") + CommPort_ + QStringLiteral("!");

    // Non-blocking, so that neither the open (waiting for carrier) nor a read can hang the
    // GUI thread; never the controlling terminal, so a hang-up sends us no signal.
    int port;
    do
        port = ::open(QFile::encodeName(CommPort_).constData(),
                      O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (port < 0 && errno == EINTR);
    const bool busy = port < 0 && errno == EBUSY; // held with TIOCEXCL
    const QString inUse = failed + QStringLiteral(" It is in use by another program.");
    if (port < 0)
        fail(busy ? inUse : failed);

    // Anything but a terminal (a plain file that happens to carry the name) is no port.
    termios2 line{};
    if (ioctlRetry(port, TCGETS2, &line) != 0) {
        ::close(port);
        fail(failed);
    }
    // One program per port: a second reader would take bytes from the first. TIOCEXCL keeps
    // out any later open but root's; the advisory lock also finds a program that holds the
    // port without TIOCEXCL, if it takes the same lock (as some terminal programs do).
    if (::flock(port, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(port);
        fail(inUse);
    }
    ioctlRetry(port, TIOCEXCL, nullptr); // no other program may open it while we hold it
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0) {
        ::close(port);
        fail(failed);
    }
    PortHandle_ = port;
    StopEvent_ = stop;
    ApplySettings();
    // What arrived before we were listening belongs to nobody.
    ::ioctl(PortHandle_, TCFLSH, TCIFLUSH);

    try {
        ReaderThread_.Start(
            [this, port, stop](TReaderHandOff::TReader &reader) { ReaderLoop(reader, port, stop); },
            [stop] {
                const std::uint64_t one = 1;
                [[maybe_unused]] const auto n = ::write(stop, &one, sizeof one);
            });
    } catch (const std::system_error &) {
        // The port is let go, so that a later try, with room for the thread, can open it.
        ReleasePort();
        throw std::runtime_error("Failed to Create Thread!");
    }
    Connected_ = true;
    emit OnOpened(this);
}

void TCComm::Close()
{
    // A handler that closes again from a delivery made by this very Close finds nothing to do.
    if (PortHandle_ < 0 || Closing_)
        return;
    Closing_ = true;
    // Bytes the reader had reported are still read and delivered by the stop.
    ReaderThread_.Stop();
    ReleasePort();
    Closing_ = false;
    Connected_ = false;
    LinkLost_ = false;
    emit OnClosed(this);
}

void TCComm::ReleasePort()
{
    closeFd(StopEvent_);
    // The claim would outlast us while another program still holds the line.
    if (PortHandle_ >= 0)
        ioctlRetry(PortHandle_, TIOCNXCL, nullptr);
    closeFd(PortHandle_);
}

void TCComm::ApplySettings()
{
    if (PortHandle_ < 0)
        return;
    termios2 line{};
    if (ioctlRetry(PortHandle_, TCGETS2, &line) != 0)
        return;
    SetLineSettings(line, BaudRate_, ByteSize_, Parity_, StopBits_);
    ioctlRetry(PortHandle_, TCSETS2, &line);

    // DTR held on, RTS off. Lines without modem control (a pseudo-terminal) refuse both.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ioctlRetry(PortHandle_, TIOCMBIS, &dtr);
    ioctlRetry(PortHandle_, TIOCMBIC, &rts);
}

void TCComm::ReaderLoop(TReaderHandOff::TReader &reader, int port, int stop)
{
    pollfd watch[2] = {{stop, POLLIN, 0}, {port, POLLIN, 0}};
    nfds_t watched = 2;
    for (;;) {
        const int n = ::poll(watch, watched, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watch[0].revents != 0 || reader.Stopping())
            return;
        const short events = watched > 1 ? watch[1].revents : 0;
        if (events == 0)
            continue;
        // The reader only reports; the owner's thread reads what is queued by then. A line that
        // has hung up (or whose device went away) reads as ready for ever: after handing on
        // what was left, with the news of the loss, it is not watched again, and the reader
        // sleeps until Close.
        const bool lost = events & (POLLHUP | POLLERR | POLLNVAL);
        if (!reader.HandOff(lost ? QByteArray(1, 'H') : QByteArray()))
            return;
        if (lost)
            watched = 1;
    }
}

void TCComm::ReportLinkLost()
{
    if (PortHandle_ < 0 || LinkLost_)
        return;
    LinkLost_ = true;
    emit OnLinkLost(this);
}

void TCComm::ReceiveQueued()
{
    if (PortHandle_ < 0)
        return;
    int queued = 0;
    // A line whose state cannot be read (hung up) delivers nothing this time.
    if (ioctlRetry(PortHandle_, FIONREAD, &queued) != 0)
        return;
    QByteArray buffer(std::max(queued, 0), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < buffer.size()) {
        const ssize_t n =
            ::read(PortHandle_, buffer.data() + got, std::size_t(buffer.size() - got));
        if (n > 0)
            got += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    buffer.truncate(got);
    emit OnReceiveData(buffer.constData(), std::uint32_t(buffer.size()));
}
