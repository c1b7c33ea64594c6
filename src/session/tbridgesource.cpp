#include "tbridgesource.h"

#include "tcp2110.h"
#include "tdevicechoice.h"

#include <cstdio>
#include <exception>

namespace {

// The component tells a missing or broken library while it is being built; the source keeps
// the text so that its front end tells it in its own way, when it is ready to.
thread_local QString *libraryNotice = nullptr;

void keepLibraryNotice(const QString &text)
{
    if (libraryNotice) {
        *libraryNotice = text;
    } else {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    }
}

TCP2110 *makeBridge(QObject *owner, const QString &libraryFile, QString &notice)
{
    TCP2110::SetSystemNotice(&keepLibraryNotice);
    libraryNotice = &notice;
    auto *bridge = new TCP2110(owner, libraryFile);
    libraryNotice = nullptr;
    return bridge;
}

} // namespace

TBridgeSource::TBridgeSource(const QString &libraryFile, QObject *parent)
    : TMeterSource(parent)
    , Bridge_(makeBridge(this, libraryFile, LibraryNotice_.Text))
{
    LibraryNotice_.Kind = TNoticeKind::SystemError;
    connect(Bridge_, &TCP2110::OnReceiveData, this, &TMeterSource::BlockReceived);
    connect(Bridge_, &TCP2110::OnConnect, this, &TMeterSource::Opened);
    connect(Bridge_, &TCP2110::OnDisconnect, this, &TMeterSource::Closed);
    connect(Bridge_, &TCP2110::OnRemoval, this, [this] { emit LinkLost(TCP2110::NoDeviceText()); });
}

bool TBridgeSource::HasLibrary() const
{
    return Bridge_->HasLibrary();
}

void TBridgeSource::SetSerial(const QString &serial)
{
    AnyBridge_ = serial.isEmpty();
    const QStringList serials = BridgeSerials(Bridge_->DeviceList());
    Bridge_->DeviceName = serial.isEmpty() && !serials.isEmpty() ? serials.first() : serial;
}

void TBridgeSource::ChooseAgain(const QString &serial)
{
    if (AnyBridge_)
        SetSerial({});
    else
        Bridge_->DeviceName = serial;
}

QString TBridgeSource::Name() const
{
    return Bridge_->DeviceName;
}

bool TBridgeSource::Open(TNotice &failure)
{
    try {
        if (Bridge_->Open())
            return true;
    } catch (const std::exception &e) {
        failure = {TNoticeKind::Error, QString::fromLocal8Bit(e.what())};
        return false;
    }
    // A bridge that is there but closed to this user, or held by another program, is told
    // with the fix, which is typed in a terminal.
    switch (Bridge_->OpenFailure()) {
    case TCP2110::TOpenFailure::AccessDenied:
        failure = {TNoticeKind::Information, TCP2110::AccessDeniedText(Bridge_->FailedNode()), true,
                   true};
        break;
    case TCP2110::TOpenFailure::InUse:
        failure = {TNoticeKind::Information, TCP2110::InUseText(Bridge_->FailedNode()), true, true};
        break;
    default:
        failure = {TNoticeKind::Information, TCP2110::NoDeviceText()};
        break;
    }
    return false;
}

void TBridgeSource::Close()
{
    Bridge_->Close();
}

bool TBridgeSource::IsOpen() const
{
    return Bridge_->Connected();
}

void TBridgeSource::SetPaused(bool paused)
{
    Bridge_->SetReadPause(paused);
}
