// What the serial component does the same on every platform: its making and ending, and its
// line settings. Opening, reading and applying the settings to an open port are the platform's
// (tccomm.cpp over POSIX terminals, tccomm_win.cpp over the Win32 communications API).
#include "tccomm.h"

TCComm::TCComm(QObject *owner)
    : QObject(owner)
    , PortList_(ListPorts())
    , ReaderThread_(this, [this](const QByteArray &lost) {
        ReceiveQueued();
        if (!lost.isEmpty())
            ReportLinkLost();
    })
{}

TCComm::~TCComm()
{
    // The owner may be half destroyed by now: nothing of it may run.
    blockSignals(true);
    Close();
}

template<typename T> void TCComm::Change(T &setting, const T &value)
{
    if (setting == value)
        return;
    setting = value;
    ApplySettings();
}

void TCComm::SetBaudRate(TBaudrate rate)
{
    Change(BaudRate_, rate);
}

void TCComm::SetCommPort(const QString &port)
{
    // The open port stays where it is; it only has its settings applied again.
    Change(CommPort_, port);
}

void TCComm::SetByteSize(TByteSize size)
{
    Change(ByteSize_, size);
}

void TCComm::SetStopBits(TStopBits bits)
{
    Change(StopBits_, bits);
}

void TCComm::SetParity(TParity parity)
{
    Change(Parity_, parity);
}
