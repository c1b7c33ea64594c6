#include "tcp2110.h"

#include "bridgeids.h"
#include "tdevicechoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QSocketNotifier>

#include <cstdio>
#include <stdexcept>
#include <system_error>

namespace {

constexpr std::uint32_t BridgeErrorCode = 101;
// Only the meter's bridge is ever opened: any other HID device may share its serial text (an
// empty one is common), and must not be sent the bridge's reports.
constexpr std::uint16_t BridgeVid = LUMETRA_BRIDGE_VID;
constexpr std::uint16_t BridgePid = LUMETRA_BRIDGE_PID;

std::uint32_t stopBitsCode(TCP2110::TStopBits bits)
{
    return bits == TCP2110::_1 ? HID_UART_SHORT_STOP_BIT : HID_UART_LONG_STOP_BIT;
}

void printSystemError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::atomic<TCP2110::TSystemNotice> systemNotice{&printSystemError};

void systemError(const QString &text)
{
    systemNotice.load()(text);
}

QString namePart(const QString &line)
{
    return line.section(QLatin1Char('='), 0, 0);
}

QString valuePart(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

// Blank names are skipped when choosing a device: spaces and control characters only.
bool isBlankName(const QString &name)
{
    for (QChar c : name)
        if (c.unicode() > 32)
            return false;
    return true;
}

} // namespace

void TCP2110::SetSystemNotice(TSystemNotice notice)
{
    systemNotice.store(notice ? notice : &printSystemError);
}

TCP2110::TCP2110(QObject *owner, const QString &libraryFile)
    : QObject(owner)
    , ReaderThread_(this, [this](const QByteArray &block) {
        emit OnReceiveData(reinterpret_cast<const std::uint8_t *>(block.constData()),
                           std::uint32_t(block.size()));
    })
{
    setObjectName(QStringLiteral("CP21101"));
    LibraryPath_ = THidUartLibrary::Locate(QCoreApplication::applicationDirPath(), libraryFile);
#ifdef Q_OS_WIN
    CreateNotifyWindow();
#endif
    LoadBridgeLibrary();
    if (!Library_.IsLoaded())
        return;
#ifdef Q_OS_WIN
    RegisterHidNotification();
#endif
    StartDeviceMonitor();
    ScanDevices();
    emit OnCreate(this);
}

TCP2110::~TCP2110()
{
    if (Connected_ || DeviceHandle_ || ReaderThread_.Running())
        Close();
    StopDeviceMonitor();
#ifdef Q_OS_WIN
    DestroyNotifyWindow();
#endif
    Library_.Unload();
}

void TCP2110::LoadBridgeLibrary()
{
    if (!QFileInfo::exists(LibraryPath_)) {
        systemError(QStringLiteral("DLL File is not Exists!"));
        return;
    }
    // A file that is there but unusable must not take the program down with it: the user
    // learns which file and why, and the program goes on without device support.
    if (!Library_.Load(LibraryPath_))
        systemError(Library_.Error());
}

void TCP2110::StartDeviceMonitor()
{
    if (!Library_.HasDeviceMonitor())
        return;
    Monitor_ = Library_.OpenDeviceMonitor(&TCP2110::DeviceEventsPending, this);
}

void TCP2110::StopDeviceMonitor()
{
    // Once closed, the library calls DeviceEventsPending no more; a read it had asked for and
    // that has not run yet goes with this object.
    if (Monitor_ >= 0 && Library_.HasDeviceMonitor())
        Library_.CloseDeviceMonitor(Monitor_);
    Monitor_ = -1;
}

void TCP2110::DeviceEventsPending(void *component)
{
    // Any thread of the library's: only a read on this object's own thread is asked for, one
    // at a time however many events come meanwhile.
    auto *self = static_cast<TCP2110 *>(component);
    if (!self->MonitorCalled_.exchange(true))
        QMetaObject::invokeMethod(self, &TCP2110::ReadDeviceEvents, Qt::QueuedConnection);
}

std::optional<QString> TCP2110::DeviceString(std::uint32_t index, std::uint32_t option,
                                             std::uint16_t vid, std::uint16_t pid) const
{
    char buffer[HID_UART_DEVICE_STRLEN] = {};
    if (Library_.GetString(index, vid, pid, buffer, option) != HID_UART_SUCCESS)
        return std::nullopt;
    buffer[HID_UART_DEVICE_STRLEN - 1] = '\0';
    return QString::fromLocal8Bit(buffer);
}

void TCP2110::ScanDevices()
{
    std::uint32_t count = 0;
    if (Library_.GetNumDevices(&count, 0, 0) == HID_UART_SUCCESS) {
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto serial = DeviceString(i, HID_UART_GET_SERIAL_STR);
            if (!serial)
                continue;
            const auto vid = DeviceString(i, HID_UART_GET_VID_STR);
            const auto pid = DeviceString(i, HID_UART_GET_PID_STR);
            if (!vid || !pid || vid->toUpper() != QLatin1String("10C4")
                || pid->toUpper() != QLatin1String("EA80"))
                continue;
            const auto path = DeviceString(i, HID_UART_GET_PATH_STR);
            if (!path)
                continue;
            DeviceList_.append(*serial + QLatin1Char('=') + *path);
        }
    }
    DeviceName.clear();
    if (DeviceList_.isEmpty())
        return;
    SortCaseInsensitive(DeviceList_);
    for (const QString &line : std::as_const(DeviceList_)) {
        if (!isBlankName(namePart(line))) {
            DeviceName = namePart(line);
            break;
        }
    }
}

bool TCP2110::OpenAndConfigure()
{
    OpenFailure_ = TOpenFailure::NoDevice;
    FailedNode_.clear();
    if (!Library_.IsLoaded())
        return false;
    std::uint32_t count = 0;
    if (Library_.GetNumDevices(&count, BridgeVid, BridgePid) != HID_UART_SUCCESS)
        return false;
    bool found = false;
    for (std::uint32_t i = 0; i < count && !found; ++i) {
        const auto serial = DeviceString(i, HID_UART_GET_SERIAL_STR, BridgeVid, BridgePid);
        if (!serial || *serial != DeviceName)
            continue;
        HID_UART_DEVICE handle = nullptr;
        const HID_UART_STATUS opened = Library_.Open(&handle, i, BridgeVid, BridgePid);
        if (opened != HID_UART_SUCCESS) {
            if (opened == HID_UART_DEVICE_ACCESS_ERROR || opened == HID_UART_DEVICE_IN_USE) {
                if (const auto path =
                        DeviceString(i, HID_UART_GET_PATH_STR, BridgeVid, BridgePid)) {
                    OpenFailure_ = opened == HID_UART_DEVICE_IN_USE ? TOpenFailure::InUse
                                                                    : TOpenFailure::AccessDenied;
                    FailedNode_ = DeviceNode(*path);
                }
            }
            continue;
        }
        if (DeviceString(i, HID_UART_GET_PATH_STR, BridgeVid, BridgePid)) {
            DeviceHandle_ = handle;
            found = true;
        } else {
            // Only one bridge can be held; one whose path cannot be read is let go again.
            Library_.Close(handle);
        }
    }
    if (!found)
        return false;
    // A bridge found and held: whatever fails from here, it is one that would not be set up.
    OpenFailure_ = TOpenFailure::NoDevice;
    FailedNode_.clear();

    std::uint8_t part = 0, version = 0;
    const std::uint32_t baud = BaudRateValue(BaudRate);
    const auto dataBits = std::uint8_t(ByteSize);
    const auto parity = std::uint8_t(Parity);
    const auto stopBits = std::uint8_t(stopBitsCode(StopBits));
    const std::uint8_t flow = HID_UART_NO_FLOW_CONTROL;
    std::uint32_t backBaud = 0;
    std::uint8_t backData = 0, backParity = 0, backStop = 0, backFlow = 0;
    const bool ok =
        Library_.GetPartNumber(DeviceHandle_, &part, &version) == HID_UART_SUCCESS
        && Library_.SetUartConfig(DeviceHandle_, baud, dataBits, parity, stopBits, flow)
               == HID_UART_SUCCESS
        && Library_.GetUartConfig(DeviceHandle_, &backBaud, &backData, &backParity, &backStop,
                                  &backFlow)
               == HID_UART_SUCCESS
        && backBaud == baud && backData == dataBits && backParity == parity && backStop == stopBits
        && backFlow == flow
        && Library_.SetTimeouts(DeviceHandle_, ReadTimeOuts, WriteTimeOuts) == HID_UART_SUCCESS;
    if (!ok) {
        // A bridge we could not set up is not kept open behind the user's back.
        Library_.Close(DeviceHandle_);
        DeviceHandle_ = nullptr;
    }
    if (ok)
        OpenFailure_ = TOpenFailure::None;
    return ok;
}

bool TCP2110::Open()
{
    if (!OpenAndConfigure()) {
        emit OnError(this, BridgeErrorCode, QByteArray());
        return false;
    }
    // A pause belongs to the link it was set on; a new link that started held would stay
    // silent until the watchdog gave up on it.
    ReadPause_ = false;
    try {
        StartReader();
    } catch (const std::system_error &) {
        Library_.Close(DeviceHandle_);
        DeviceHandle_ = nullptr;
        throw std::runtime_error("Failed to Create Thread!");
    }
    Connected_ = true;
    emit OnConnect(this);
    return true;
}

QString TCP2110::DeviceNode(const QString &path)
{
    // Our libraries append "#vid_....&pid_...." to a node that does not carry the ids, so they
    // can be found in the path; a Windows device path carries them and is its own node.
    const qsizetype mark = path.lastIndexOf(QLatin1Char('#'));
    if (mark < 0 || !path.mid(mark).startsWith(QLatin1String("#vid_"), Qt::CaseInsensitive))
        return path;
    return path.left(mark);
}

namespace {
const QLatin1String UdevRuleName("60-lumetra.rules");
} // namespace

QString TCP2110::InstalledUdevRule()
{
    // Only where udev reads rules: a copy anywhere else (an install below /usr/local) does
    // nothing. /etc first, as udev lets it stand over a packaged one of the same name.
    for (const char *folder :
         {"/etc/udev/rules.d/", "/usr/lib/udev/rules.d/", "/lib/udev/rules.d/"})
        if (const QString rule = QLatin1String(folder) + UdevRuleName; QFileInfo::exists(rule))
            return rule;
    return QString();
}

QString TCP2110::UdevRuleToInstall()
{
    // The install's own copy (which udev may not read where it is), else the source tree's
    // beside the build tree the program runs from.
    const QString own = QDir::cleanPath(
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral(LUMETRA_UDEV_RULES_FROM_BINDIR "/") + UdevRuleName));
    if (QFileInfo::exists(own))
        return own;
    if (QFileInfo::exists(QStringLiteral(LUMETRA_SOURCE_UDEV_RULE)))
        return QStringLiteral(LUMETRA_SOURCE_UDEV_RULE);
    return QStringLiteral("dist/") + UdevRuleName;
}

QString TCP2110::InUseText(const QString &node)
{
    return QStringLiteral("The meter's USB cable (device node %1) is in use by another program. "
                          "Only one program at a time can read it; close the other one.")
        .arg(node);
}

QString TCP2110::AccessDeniedText(const QString &node)
{
#ifdef Q_OS_WIN
    // Windows needs no rule for a HID device: a refusal comes from the device itself or from
    // a program that holds it exclusively.
    return QStringLiteral("Access to the meter's USB cable was denied: Windows did not let "
                          "this program open its device %1.\n\n"
                          "Close any other program that may use the cable, unplug the cable "
                          "and plug it in again.")
        .arg(node);
#else
    const QString installed = InstalledUdevRule();
    return AccessDeniedText(node, installed, installed.isEmpty() ? UdevRuleToInstall() : QString());
#endif
}

QString TCP2110::AccessDeniedText(const QString &node, const QString &installedRule,
                                  const QString &ruleToInstall)
{
    const QString group = QStringLiteral(
        "Without a seat at the machine (over SSH, from cron, on a board), the rule gives the "
        "cable to the group plugdev; join it with\n\n"
        "sudo adduser $USER plugdev\n\n"
        "and log in again.");
    const QString text =
        QStringLiteral("Access to the meter's USB cable was denied: this user may not "
                       "open its device node %1.\n\n")
            .arg(node);
    if (!installedRule.isEmpty())
        return text
               + QStringLiteral("Lumetra's udev rule %1 hands the cable to the user at the "
                                "machine. If it was installed after the cable was plugged in, "
                                "unplug the cable and plug it in again. ")
                     .arg(installedRule)
               + group;
    return text
           + QStringLiteral("Lumetra comes with a udev rule that hands the cable to the user at "
                            "the machine. Install it with:\n\n"
                            "sudo install -m 644 %1 /etc/udev/rules.d/\n"
                            "sudo udevadm control --reload-rules\n"
                            "sudo udevadm trigger --subsystem-match=hidraw\n\n"
                            "Instead of the last command, unplugging the cable and plugging it "
                            "in again is enough. ")
                 .arg(ruleToInstall)
           + group;
}

bool TCP2110::Close()
{
    if (ReaderThread_.Running())
        StopReader();
    bool result = false;
    if (DeviceHandle_) {
        result = Library_.Close(DeviceHandle_) == HID_UART_SUCCESS;
        DeviceHandle_ = nullptr;
    }
    Connected_ = false;
    emit OnDisconnect(nullptr);
    return result;
}

void TCP2110::StartReader()
{
    ReaderThread_.Start([this, handle = DeviceHandle_](
                            TReaderHandOff::TReader &reader) { ReaderLoop(reader, handle); },
                        {}, ReadPause_);
}

void TCP2110::StopReader()
{
    ReaderThread_.Stop();
}

void TCP2110::ReaderLoop(TReaderHandOff::TReader &reader, HID_UART_DEVICE handle)
{
    const auto read = Library_.Read;
    while (reader.WaitWhilePaused()) {
        QByteArray block(int(ReadBufferSize), '\0');
        std::uint32_t got = 0;
        const HID_UART_STATUS status =
            read(handle, reinterpret_cast<std::uint8_t *>(block.data()), ReadBufferSize, &got);
        if ((status == HID_UART_SUCCESS || status == HID_UART_READ_TIMED_OUT) && got > 0) {
            block.truncate(int(std::min(got, ReadBufferSize)));
            // Synchronous hand-off: the next read waits until the GUI thread has handled this.
            if (!reader.HandOff(std::move(block)))
                return;
        }
        if (!reader.Sleep(std::chrono::milliseconds(PollInterval_.load())))
            return;
    }
}

void TCP2110::SetReadTimeInterval(std::uint32_t ms)
{
    if (ms == ReadTimeInterval_)
        return;
    ReadTimeInterval_ = ms;
    PollInterval_.store(ms);
}

void TCP2110::SetReadPause(bool pause)
{
    if (!Connected_ || pause == ReadPause_)
        return;
    ReadPause_ = pause;
    ReaderThread_.SetPaused(pause);
}

void TCP2110::ReadDeviceEvents()
{
    MonitorCalled_.store(false);
    // Handlers may show modal notices, whose loops would otherwise take the next events first:
    // the events that come meanwhile wait for the loop below.
    if (ReadingDeviceEvents_ || Monitor_ < 0)
        return;
    ReadingDeviceEvents_ = true;
    for (;;) {
        char path[HID_UART_DEVICE_STRLEN] = {};
        std::int32_t arrived = 0;
        if (Monitor_ < 0 || Library_.ReadDeviceEvent(Monitor_, path, &arrived) != HID_UART_SUCCESS)
            break;
        path[HID_UART_DEVICE_STRLEN - 1] = '\0';
        const QString text = QString::fromLocal8Bit(path);
        if (arrived)
            DeviceArrived(text);
        else
            DeviceRemoved(text);
        emit OnDeviceChange(this);
    }
    ReadingDeviceEvents_ = false;
}

void TCP2110::DeviceArrived(const QString &path)
{
    std::uint32_t count = 0;
    if (Library_.GetNumDevices(&count, 0, 0) != HID_UART_SUCCESS)
        return;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto own = DeviceString(i, HID_UART_GET_PATH_STR);
        if (!own)
            continue;
        if (own->compare(path, Qt::CaseInsensitive) == 0)
            emit OnArrival(this);
        const auto serial = DeviceString(i, HID_UART_GET_SERIAL_STR);
        const auto again = DeviceString(i, HID_UART_GET_PATH_STR);
        if (!serial || !again)
            continue;
        const bool known =
            std::any_of(DeviceList_.cbegin(), DeviceList_.cend(),
                        [&](const QString &line) { return namePart(line) == *serial; });
        if (!known)
            DeviceList_.append(*serial + QLatin1Char('=') + *again);
    }
    SortCaseInsensitive(DeviceList_);
}

void TCP2110::DeviceRemoved(const QString &path)
{
    for (qsizetype i = 0; i < DeviceList_.size(); ++i) {
        if (valuePart(DeviceList_.at(i)).compare(path, Qt::CaseInsensitive) == 0) {
            DeviceList_.removeAt(i);
            break;
        }
    }
    if (!DeviceHandle_)
        return;
    char own[HID_UART_DEVICE_STRLEN] = {};
    if (Library_.GetOpenedString(DeviceHandle_, own, HID_UART_GET_PATH_STR) != HID_UART_SUCCESS)
        return;
    own[HID_UART_DEVICE_STRLEN - 1] = '\0';
    if (QString::fromLocal8Bit(own).compare(path, Qt::CaseInsensitive) == 0) {
        emit OnRemoval(this);
        Close();
    }
}
