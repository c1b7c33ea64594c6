#include "tserialsource.h"

#include "tccomm.h"

#include <exception>

TSerialSource::TSerialSource(const QString &port, std::uint32_t baud, QObject *parent)
    : TMeterSource(parent)
    , Port_(new TCComm(this))
{
    Port_->SetCommPort(port);
    if (const auto rate = BaudRateOf(baud))
        Port_->SetBaudRate(*rate);
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
