// The main window's connection control: device choice, the Connect button and the watchdog.
#include "tfrmmain.h"

#include "hiduartsim_api.h"
#include "newmessagedlg.h"
#include "tcapturefile.h"
#include "tccomm.h"
#include "tcp2110.h"
#include "tdevicechoice.h"
#include "tlcdpanel.h"

#include <QComboBox>
#include <QLibrary>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <exception>

namespace {

const QString NoDevice = TCP2110::NoDeviceText();
const QString CableLost =
    QStringLiteral("USB interface cable is not connected properly, please check and re-try.");

void notice(const QString &text)
{
    NewMessageDlg(text, mtInformation, MsgDlgButtons({mbOK}), 0);
}

// The bridge component's own errors come as the system's plain message box.
void systemErrorBox(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
    box.exec();
}

} // namespace

void TfrmMain::CreateBridge()
{
    TCP2110::SetSystemNotice(&systemErrorBox);
    CP21101 = new TCP2110(this, Options_.Simulate ? TCP2110::SimulatedLibraryFile()
                                                  : TCP2110::DefaultLibraryFile());
    connect(CP21101, &TCP2110::OnRemoval, this, &TfrmMain::CP21101Removal);
    connect(CP21101, &TCP2110::OnDisconnect, this, &TfrmMain::CP21101Disconnect);
    connect(CP21101, &TCP2110::OnConnect, this, &TfrmMain::CP21101Connect);
    connect(CP21101, &TCP2110::OnReceiveData, this,
            [this](const std::uint8_t *bytes, std::uint32_t len) {
                CP21101ReceiveData(bytes, int(len));
            });
    connect(CP21101, &TCP2110::OnDeviceChange, this, &TfrmMain::CP21101DeviceChange);
    connect(CP21101, &TCP2110::OnError, this, &TfrmMain::CP21101Error);
    if (!Options_.Replay.isEmpty())
        StartReplay();
}

void TfrmMain::StartCapture()
{
    if (Options_.Capture.isEmpty())
        return;
    Capture_ = std::make_unique<TCaptureWriter>();
    if (!Capture_->Open(Options_.Capture)) {
        const QString why = Options_.Capture + QStringLiteral(": ") + Capture_->Error();
        Capture_.reset();
        std::fprintf(stderr, "lumetra: %s\n", why.toLocal8Bit().constData());
        notice(why);
    }
}

void TfrmMain::StartReplay()
{
    // The capture goes down the simulated bridge's line in place of its meter, so the window
    // takes it through its whole receive path: the bridge, the reader, the hand-off.
    QLibrary simulated(CP21101->LibraryPath());
    const auto silent = reinterpret_cast<HidUartSim_SetMeterSilent_t>(
        simulated.resolve("HidUartSim_SetMeterSilent"));
    ReplayFeed_ = reinterpret_cast<void *>(simulated.resolve("HidUartSim_FeedBytes"));
    Replay_ = new TCaptureReplay(Options_.Fast, this);
    QString why;
    if (!silent || !ReplayFeed_)
        why = QStringLiteral("The bridge library cannot replay a capture.");
    else if (!Replay_->Open(Options_.Replay))
        why = Options_.Replay + QStringLiteral(": ") + Replay_->Error();
    if (!why.isEmpty()) {
        delete Replay_;
        Replay_ = nullptr;
        std::fprintf(stderr, "lumetra: %s\n", why.toLocal8Bit().constData());
        notice(why);
        return;
    }
    silent(HIDUARTSIM_DEFAULT_SERIAL, 1);
    connect(Replay_, &TCaptureReplay::OnReceiveData, this, &TfrmMain::ReplayBlock);
    connect(Replay_, &TCaptureReplay::Finished, this, [this] {
        if (!Replay_->Error().isEmpty())
            std::fprintf(stderr, "lumetra: %s: %s\n", Options_.Replay.toLocal8Bit().constData(),
                         Replay_->Error().toLocal8Bit().constData());
    });
}

void TfrmMain::ReplayBlock(const std::uint8_t *Data, std::uint32_t Len)
{
    if (CP21101->Connected())
        reinterpret_cast<HidUartSim_FeedBytes_t>(ReplayFeed_)(
            CP21101->DeviceName.toLocal8Bit().constData(), Data, Len);
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
    const QStringList serials = BridgeSerials(CP21101->DeviceList());
    cbbDevices->clear();
    cbbDevices->addItems(serials);
    if (cbbDevices->count() > 0) {
        cbbDevices->setCurrentIndex(0);
        CP21101->DeviceName = serials.first();
    } else {
        CP21101->DeviceName.clear();
    }
}

void TfrmMain::CloseBridge()
{
    CP21101->Close();
}

void TfrmMain::btnConnectClick()
{
    // The click has already flipped the button; the component's events set it right.
    if (CP21101->Connected()) {
        CP21101->Close();
        return;
    }
    bool opened = false;
    try {
        opened = CP21101->Open();
    } catch (const std::exception &e) {
        // Nothing is connected, so the button must not stay down as if it were.
        btnConnect->setChecked(false);
        btnConnect->setText(QStringLiteral("Connection"));
        NewMessageDlg(QString::fromLocal8Bit(e.what()), mtError, MsgDlgButtons({mbOK}), 0);
        return;
    }
    if (!opened) {
        btnConnect->setChecked(false);
        btnConnect->setText(QStringLiteral("Connection"));
    }
}

void TfrmMain::CP21101Connect(QObject *)
{
    btnConnect->setChecked(CP21101->Connected());
    btnConnect->setText(QStringLiteral("Disconnection"));
    pnlLcd->ShowUsbMark(true);
    timerDisconectedUSB->start();
    // Each connection plays the capture from its start, as a meter would start sending.
    if (Replay_ && Replay_->Open(Options_.Replay))
        Replay_->Start();
}

void TfrmMain::CP21101Disconnect(QObject *)
{
    btnConnect->setChecked(CP21101->Connected());
    btnConnect->setText(QStringLiteral("Connection"));
    pnlLcd->ShowUsbMark(false);
    timerDisconectedUSB->stop();
    if (Replay_)
        Replay_->Stop();
}

void TfrmMain::CP21101Removal(QObject *)
{
    timerDisconectedUSB->stop();
    notice(NoDevice);
}

void TfrmMain::CP21101Error(QObject *, std::uint32_t ErrorCode, const QByteArray &ErrorMsg)
{
    if (ErrorCode != 101)
        return;
    if (ErrorMsg.isEmpty()) {
        notice(NoDevice);
        return;
    }
    // The bridge is there but its node is closed to this user: say so and how to fix it, also
    // where a terminal shows it, since the fix is typed there.
    std::fprintf(stderr, "lumetra: %s\n", ErrorMsg.constData());
    std::fflush(stderr);
    notice(QString::fromLocal8Bit(ErrorMsg));
}

void TfrmMain::CP21101DeviceChange(QObject *)
{
    RefreshDeviceChoice();
}

void TfrmMain::timerDisconectedUSBTimer()
{
    CP21101->Close();
    timerDisconectedUSB->stop();
    notice(CableLost);
}
