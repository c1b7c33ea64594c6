#pragma once

#include "tbaudrate.h"
#include "thiduartlibrary.h"
#include "treaderhandoff.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <optional>

// The CP2110 USB-to-UART bridge of the meter's cable: lists the bridges present, follows their
// arrival and removal, opens one by its serial text and hands every block it receives to the
// GUI thread as OnReceiveData. It only listens: the meter needs nothing sent to it.
class TCP2110 : public QObject
{
    Q_OBJECT
public:
    using TBaudRate = TBaudRateCode;
    using enum TBaudRateCode;
    enum TByteSize : std::uint8_t { _5, _6, _7, _8 };
    enum TStopBits : std::uint8_t { _1, _1_5, _2 };
    enum TParity : std::uint8_t { None, Odd, Even, Mark, Space };

    static constexpr std::uint32_t ReadBufferSize = 2048;

    // Loads the bridge library from the program's folder or its installed library folder
    // (THidUartLibrary::Locate); libraryFile is the library's file name.
    explicit TCP2110(QObject *owner, const QString &libraryFile = DefaultLibraryFile());
    ~TCP2110() override;

#ifdef Q_OS_WIN
    static QString DefaultLibraryFile()
    {
        return QStringLiteral("SLABHIDtoUART.dll");
    }
    static QString SimulatedLibraryFile()
    {
        return QStringLiteral("SLABHIDtoUART-sim.dll");
    }
#else
    static QString DefaultLibraryFile()
    {
        return QStringLiteral("libSLABHIDtoUART.so");
    }
    static QString SimulatedLibraryFile()
    {
        return QStringLiteral("libSLABHIDtoUART-sim.so");
    }
#endif

    // Why the last Open failed: no bridge of that name could be opened and set up, or one is
    // there but this user may not open its node, or another program holds it.
    enum class TOpenFailure : std::uint8_t { None, NoDevice, AccessDenied, InUse };
    Q_ENUM(TOpenFailure)

    // Opens the bridge named by DeviceName, configures it and starts reading, unpaused. Only
    // devices with the bridge's USB ids are considered. A failure raises OnError(101, "") and
    // leaves its reason in OpenFailure (nothing is sent to a bridge in use).
    // Throws std::runtime_error("Failed to Create Thread!") when no reader can be started.
    bool Open();
    TOpenFailure OpenFailure() const
    {
        return OpenFailure_;
    }
    // The device node of a bridge that refused access or is in use ("/dev/hidraw3").
    const QString &FailedNode() const
    {
        return FailedNode_;
    }
    // Stops reading and closes the bridge; true only when one was open and closed cleanly.
    bool Close();

    bool Connected() const
    {
        return Connected_;
    }
    bool HasLibrary() const
    {
        return Library_.IsLoaded();
    }
    const QString &LibraryPath() const
    {
        return LibraryPath_;
    }
    // "serial=path" lines of the devices known, sorted without regard to case.
    const QStringList &DeviceList() const
    {
        return DeviceList_;
    }

    TBaudRate BaudRate = CBR_9600;
    TByteSize ByteSize = _8;
    TStopBits StopBits = _1;
    TParity Parity = None;
    QString DeviceName;
    std::uint32_t ReadTimeOuts = 0;
    std::uint32_t WriteTimeOuts = 500;

    std::uint32_t ReadTimeInterval() const
    {
        return ReadTimeInterval_;
    }
    void SetReadTimeInterval(std::uint32_t ms);
    // The reader's sleep between polls; 70 ms until ReadTimeInterval is given another value.
    std::uint32_t PollInterval() const
    {
        return PollInterval_.load();
    }
    bool ReadPause() const
    {
        return ReadPause_;
    }
    // Only takes effect while connected; a paused reader reads nothing until released. Close
    // leaves the value as it was; the next Open starts unpaused.
    void SetReadPause(bool pause);

    // The node a device path names ("/dev/hidraw3" of "/dev/hidraw3#vid_10c4&pid_ea80").
    static QString DeviceNode(const QString &path);
    // What the user is told when the bridge's node may not be opened, and how to allow it.
    // Names the installed rule when there is one, else the install commands for the rule of
    // the source tree. How to try again once it is mended is the front end's to say.
    static QString AccessDeniedText(const QString &node);
    // The same, told that udev reads the rule installedRule, or (when that is "") that the
    // rule is to be installed from ruleToInstall.
    static QString AccessDeniedText(const QString &node, const QString &installedRule,
                                    const QString &ruleToInstall);
    // What the user is told when another program holds the bridge; the same holds.
    static QString InUseText(const QString &node);
    // Where udev finds Lumetra's rule (/etc/udev/rules.d, /usr/lib/udev/rules.d), or "".
    static QString InstalledUdevRule();
    // The rule the install commands copy: the install's own, else the source tree's.
    static QString UdevRuleToInstall();
    // What the user is told when no bridge can be opened or one went away.
    static QString NoDeviceText()
    {
        return QStringLiteral("No device found.  Please ensure that you have proper USB "
                              "connection.");
    }

    // How an error the user must see although nothing asked for it ("DLL File is not
    // Exists!") reaches the user: the window shows the system's message box, a program
    // without windows prints it. Until one is set, the text goes to the error output.
    using TSystemNotice = void (*)(const QString &text);
    static void SetSystemNotice(TSystemNotice notice);

#ifdef Q_OS_WIN
    // The hidden window that receives the device notifications registered for the HID
    // interface class (WM_DEVICECHANGE); an HWND.
    void *NotifyWindow() const
    {
        return NotifyWindow_;
    }
    // Whether RegisterDeviceNotification took the registration.
    bool HasHidNotification() const
    {
        return NotifyHandle_ != nullptr;
    }
    // WM_DEVICECHANGE as NotifyWindow receives it: the event code and the broadcast header.
    void DeviceChangeMessage(std::uintptr_t event, const void *header);
#endif

signals:
    void OnRemoval(QObject *Sender);
    void OnArrival(QObject *Sender);
    void OnCreate(QObject *Sender);
    void OnDisconnect(QObject *Sender);
    void OnConnect(QObject *Sender);
    void OnReceiveData(const std::uint8_t *Data, std::uint32_t Len);
    void OnDeviceChange(QObject *Sender);
    void OnError(QObject *Sender, std::uint32_t ErrorCode, const QByteArray &ErrorMsg);

private:
    void LoadBridgeLibrary();
    void StartDeviceMonitor();
    void StopDeviceMonitor();
    static void DeviceEventsPending(void *component);
#ifdef Q_OS_WIN
    void CreateNotifyWindow();
    void RegisterHidNotification();
    void DestroyNotifyWindow();
#endif
    void ScanDevices();
    // Sets OpenFailure_ and FailedNode_ when it fails.
    bool OpenAndConfigure();
    void StartReader();
    void StopReader();
    void ReaderLoop(TReaderHandOff::TReader &reader, HID_UART_DEVICE handle);
    void ReadDeviceEvents();
    void DeviceArrived(const QString &path);
    void DeviceRemoved(const QString &path);
    std::optional<QString> DeviceString(std::uint32_t index, std::uint32_t option,
                                        std::uint16_t vid = 0, std::uint16_t pid = 0) const;

    QString LibraryPath_;
    THidUartLibrary Library_;
    QStringList DeviceList_;
    HID_UART_DEVICE DeviceHandle_ = nullptr;
    bool Connected_ = false;
    TOpenFailure OpenFailure_ = TOpenFailure::None;
    QString FailedNode_;
    bool ReadPause_ = false;
    std::uint32_t ReadTimeInterval_ = 100;
    std::atomic<std::uint32_t> PollInterval_{70};

    // The library's hot-plug monitor, read on this thread when it says events are pending.
    std::int32_t Monitor_ = -1;
    std::atomic<bool> MonitorCalled_{false};
    bool ReadingDeviceEvents_ = false;
#ifdef Q_OS_WIN
    void *NotifyWindow_ = nullptr;
    void *NotifyHandle_ = nullptr;
#endif

    TReaderHandOff ReaderThread_;
};
