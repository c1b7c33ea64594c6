// The main window's connection control: device choice, the Connect button, and what the
// session tells about the link.
#include "tfrmmain.h"

#include "newmessagedlg.h"
#include "tbridgesource.h"
#include "tccomm.h"
#include "tconnectionbar.h"
#include "tcp2110.h"
#include "tdevicechoice.h"
#include "tlcdpanel.h"
#include "tmetersession.h"
#include "treconnector.h"
#include "treplaysource.h"
#include "tsessionpublisher.h"

#include <QAction>
#include <QMessageBox>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

void TfrmMain::CreateBridge()
{
    Bridge_ = new TBridgeSource(
        Options_.Simulate ? TCP2110::SimulatedLibraryFile() : TCP2110::DefaultLibraryFile(), this);
    CP21101 = Bridge_->Bridge();
    if (!Bridge_->LibraryNotice().Text.isEmpty())
        ShowNotice(Bridge_->LibraryNotice());
    connect(CP21101, &TCP2110::OnDeviceChange, this, &TfrmMain::CP21101DeviceChange);
    // A capture plays in place of the meter, from Connection on, through the same session.
    TMeterSource *source = Bridge_;
    if (!Options_.Replay.isEmpty())
        source = new TReplaySource(Options_.Replay, Options_.Fast, this);
    Session_->SetSource(source);
    // Only a cable can come loose; a capture that has played out is simply over.
    Session_->SetWatchdog(source == Bridge_);
    // A capture played to its end leaves nothing connected: the button comes back up.
    connect(Session_, &TMeterSession::SourceEnded, this, [this] { Session_->Close(); });
    connect(Session_, &TMeterSession::LinkOpened, this, [this] { CP21101Connect(CP21101); });
    connect(Session_, &TMeterSession::LinkClosed, this, [this] { CP21101Disconnect(nullptr); });
    connect(Session_, &TMeterSession::NoticeRaised, this, &TfrmMain::ShowNotice);
    // "Reconnect automatically": an outage is told on the bar's line, and the run goes on.
    auto *reconnector = new TReconnector(*Session_, this);
    reconnector->setObjectName(QStringLiteral("Reconnector"));
    connect(Panel3->actReconnect, &QAction::toggled, reconnector, &TReconnector::SetEnabled);
    connect(reconnector, &TReconnector::MeterAway, Panel3, &TConnectionBar::ShowOutage);
    connect(reconnector, &TReconnector::MeterBack, Panel3, &TConnectionBar::ShowOutage);
    Panel3->actReconnect->setChecked(Options_.Reconnect);
}

void TfrmMain::StartCapture()
{
    if (!Options_.Capture.isEmpty())
        Session_->StartCapture(Options_.Capture);
}

void TfrmMain::StartLab()
{
    if (Options_.Mqtt.isEmpty())
        return;
    QString why;
    const std::optional<TLabUrl> url = ParseLabUrl(Options_.Mqtt, TLabUrlUse::Publish, &why);
    // The meter's serial names its topics; without a bridge at start, this machine does.
    QString serial = Session_->Source() ? Session_->Source()->Name() : QString();
    if (serial.isEmpty())
        serial = QSysInfo::machineHostName();
    auto *publisher =
        url ? new TSessionPublisher(*Session_, *url, serial, Options_.MqttDisplay, this) : nullptr;
    if (publisher && publisher->Start(Options_.MqttCa, &why)) {
        connect(publisher, &TSessionPublisher::Notice, this, [this](const QString &text) {
            ShowNotice({TNoticeKind::Information, text, true});
        });
        return;
    }
    ShowNotice({TNoticeKind::Error, QStringLiteral("--mqtt: %1").arg(why), true});
    delete publisher;
}

void TfrmMain::CreateSerialPort()
{
    CComm1 = new TCComm(this);
    CComm1->setObjectName(QStringLiteral("CComm1"));
    connect(CComm1, &TCComm::OnReceiveData, this, [this](const void *buffer, std::uint32_t len) {
        CComm1ReceiveData(static_cast<const std::uint8_t *>(buffer), int(len));
    });
}

void TfrmMain::RefreshDeviceChoice()
{
    CP21101->DeviceName = Panel3->SetDevices(BridgeSerials(CP21101->DeviceList()));
}

void TfrmMain::CloseBridge()
{
    Session_->Close();
}

void TfrmMain::btnConnectClick()
{
    // The click has already flipped the button; the link's events set it right.
    if (Session_->IsOpen()) {
        Session_->Close();
        return;
    }
    // Nothing is connected until the link says so, also while a notice tells why not.
    Panel3->ShowLink(false);
    Session_->Open();
}

void TfrmMain::CP21101Connect(QObject *)
{
    Panel3->ShowLink(true);
    pnlLcd->ShowUsbMark(true);
}

void TfrmMain::CP21101Disconnect(QObject *)
{
    Panel3->ShowLink(false);
    pnlLcd->ShowUsbMark(false);
}

void TfrmMain::CP21101DeviceChange(QObject *)
{
    RefreshDeviceChoice();
}

void TfrmMain::SetUnattended(bool unattended)
{
    Unattended_ = unattended;
}

void TfrmMain::ShowNotice(const TNotice &notice)
{
    // A notice of a window still being built waits for the window to be up.
    if (Building_) {
        PendingNotices_ << notice;
        return;
    }
    // The window's way to try again is its button.
    const QString text = notice.TryAgain
                             ? notice.Text + QStringLiteral(" Then press \"Connection\" again.")
                             : notice.Text;
    if (notice.Terminal) {
        std::fprintf(stderr, "lumetra: %s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    emit NoticeRaised(notice);
    if (Unattended_)
        return;
    if (notice.Kind == TNoticeKind::SystemError) {
        // The bridge component's own errors come as the system's plain message box.
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
        box.exec();
        return;
    }
    NewMessageDlg(text, notice.Kind == TNoticeKind::Error ? mtError : mtInformation,
                  MsgDlgButtons({mbOK}), 0);
}
