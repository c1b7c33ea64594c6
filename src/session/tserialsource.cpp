#include "tserialsource.h"

#include "tccomm.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// An 8250 port with no UART behind it reports the type "unknown".
bool uartFitted(const QString &node)
{
    const int fd =
        ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info = {};
    const bool fitted = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return fitted;
}

} // namespace
#endif

QStringList SerialPorts(const QString &sysClassTty, const QString &devFolder)
{
#ifdef Q_OS_WIN
    // Every serial driver enters its ports in the registry, which the component reads.
    (void)sysClassTty;
    (void)devFolder;
    return TCComm::ListPorts();
#else
    QStringList ports;
    const QDir ttys(sysClassTty);
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        // Consoles and pseudo-terminals have no device behind them.
        if (!QFileInfo::exists(ttys.filePath(name + QStringLiteral("/device"))))
            continue;
        const QString node = devFolder + QLatin1Char('/') + name;
        const QString driver =
            QFileInfo(ttys.filePath(name + QStringLiteral("/device/driver"))).canonicalFilePath();
        if (QFileInfo(driver).fileName() == QLatin1String("serial8250") && !uartFitted(node))
            continue;
        ports << node;
    }
    return ports;
#endif
}

TSerialSource::TSerialSource(const QString &port, std::uint32_t baud, QObject *parent)
    : TMeterSource(parent)
    , Port_(new TCComm(this))
{
    Port_->SetCommPort(port);
    for (int r = TCComm::CBR_110; r <= TCComm::CBR_256000; ++r)
        if (TCComm::BaudRateValue(TCComm::TBaudrate(r)) == baud)
            Port_->SetBaudRate(TCComm::TBaudrate(r));
    connect(Port_, &TCComm::OnReceiveData, this, [this](const void *data, std::uint32_t len) {
        emit BlockReceived(static_cast<const std::uint8_t *>(data), len);
    });
    connect(Port_, &TCComm::OnOpened, this, [this] {
        Open_ = true;
        emit Opened();
    });
    // A hang-up or a port that vanished is a lost link: nothing will come on it again.
    connect(Port_, &TCComm::OnLinkLost, this, [this] {
        emit LinkLost(QStringLiteral("%1: the serial line hung up or the port went away.")
                          .arg(Port_->CommPort()));
    });
    connect(Port_, &TCComm::OnClosed, this, [this] {
        Open_ = false;
        emit Closed();
    });
}

QString TSerialSource::Name() const
{
    return Port_->CommPort();
}

bool TSerialSource::Open(TNotice &failure)
{
    try {
        Port_->Open();
    } catch (const std::exception &e) {
        failure = {TNoticeKind::Error, QString::fromLocal8Bit(e.what())};
        return false;
    }
    Open_ = true;
    return true;
}

void TSerialSource::Close()
{
    Port_->Close();
    Open_ = false;
}
