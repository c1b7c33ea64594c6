// Apart from pty.h: the kernel's termios2 cannot share a file with <termios.h>.
#include "ptyline.h"

#include "tlinesettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

std::uint32_t bitsOf(tcflag_t code)
{
    struct Rate
    {
        tcflag_t Code;
        std::uint32_t Bits;
    };
    static constexpr Rate Rates[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    };
    for (const Rate &r : Rates)
        if (r.Code == code)
            return r.Bits;
    return 0;
}

TLineState decode(const termios2 &t)
{
    TLineState s;
    const tcflag_t code = t.c_cflag & CBAUD;
    s.Exact = code == BOTHER;
    s.Speed = s.Exact ? t.c_ospeed : bitsOf(code);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.DataBits = 5;
        break;
    case CS6:
        s.DataBits = 6;
        break;
    case CS7:
        s.DataBits = 7;
        break;
    default:
        s.DataBits = 8;
    }
    s.StopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    if (!(t.c_cflag & PARENB))
        s.Parity = 'N';
    else if (t.c_cflag & CMSPAR)
        s.Parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        s.Parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    s.Raw = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(t.c_oflag & OPOST)
            && !(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK))
            && !(t.c_cflag & CRTSCTS) && (t.c_cflag & CREAD) && (t.c_cflag & CLOCAL);
    return s;
}

} // namespace

TLineState ReadLineState(int fd)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return {};
    return decode(t);
}

TLineState LineAskedFor(TCComm::TBaudrate rate, TCComm::TByteSize size, TCComm::TParity parity,
                        TCComm::TStopBits stop)
{
    termios2 t{};
    t.c_iflag = ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = B38400 | (B1200 << IBSHIFT) | CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    t.c_ispeed = t.c_ospeed = 38400;
    SetLineSettings(t, rate, size, parity, stop);
    TLineState s = decode(t);
    // An input rate of its own would leave the line receiving at another speed.
    if ((t.c_cflag >> IBSHIFT) & CBAUD)
        s.Raw = false;
    return s;
}
